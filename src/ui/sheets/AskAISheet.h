// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

#include <memory>

class QLabel;
class QLayout;
class QPushButton;
class QWidget;

namespace kelvane::operations {
class AskAIModel;
}

namespace kelvane::ui {
class ElidedLabel;
}

namespace kelvane::ui::sheets {


// Asks the language model about one file and shows its answer while it
// streams in. Window-modal; show it with open(). It asks when it is shown
// (unless a request is still running) and drops the request when it closes.
//
//   auto* sheet = new AskAISheet(std::make_unique<operations::AskAIModel>(
//       path, platform::LanguageModel::fromEnvironment()), parentWindow);
//   sheet->setAttribute(Qt::WA_DeleteOnClose);
//   sheet->open();
class AskAISheet final : public QDialog {
    Q_OBJECT
public:
    AskAISheet(std::unique_ptr<operations::AskAIModel> model, QWidget* parent);
    ~AskAISheet() override;

    operations::AskAIModel& model() const { return *model_; }

public slots:
    // However the sheet closes, its request is dropped. Hiding alone (a
    // minimised window) changes nothing.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLayout* buildHeader();
    QWidget* buildConversation();
    QWidget* buildErrorView(QWidget* content);
    QLayout* buildButtons();
    void refresh();

    std::unique_ptr<operations::AskAIModel> model_;
    QLabel* prompt_ = nullptr;
    QWidget* progressRow_ = nullptr;
    QWidget* errorView_ = nullptr;
    QLabel* errorTitle_ = nullptr;
    QLabel* errorText_ = nullptr;
    QLabel* answer_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* retry_ = nullptr;
};

}  // namespace kelvane::ui::sheets
