// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <QMessageBox>
#include <QPointer>

#include <filesystem>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

class QPushButton;
class QStackedWidget;
class QTableView;
class QWidget;

namespace kelvane::operations {
class SearchSheetModel;
}

namespace kelvane::ui {
class Shell;
}

namespace kelvane::ui {
class ElidedLabel;
}

namespace kelvane::ui::sheets {

class SearchResultsTableModel;
class SelectionLink;

// Searches one folder for files worth compressing and registers a selection
// of them. Window-modal; show it with open(). Closing it cancels a running
// search; after a registration that registered something (and failed on
// nothing) it closes by itself.
//
//   auto* sheet = new SearchSheet(std::make_unique<operations::SearchSheetModel>(
//       modelContext, platform::LanguageModel::fromEnvironment()), shell, mainWindow);
//   sheet->setAttribute(Qt::WA_DeleteOnClose);
//   sheet->open();
class SearchSheet final : public QDialog {
    Q_OBJECT
public:
    SearchSheet(std::unique_ptr<operations::SearchSheetModel> model, Shell& shell, QWidget* parent);
    ~SearchSheet() override;

    operations::SearchSheetModel& model() const { return *model_; }
    QTableView* resultsView() const { return table_; }
    SearchResultsTableModel* resultsModel() const { return results_; }
    // The ask sheet opened from the results, while it is open.
    QDialog* askSheet() const { return askSheet_; }
    QMessageBox* registrationAlert() const { return alert_; }

    void askAI(const std::filesystem::path& url);

public slots:
    // Every way the sheet closes ends here (its button, Escape, the close
    // after a registration, the presenter): a running search stops and what
    // the sheet presented goes with it. Hiding alone (a minimised window)
    // changes nothing.
    void done(int result) override;

private:
    void connectModel();
    QWidget* buildForm();
    QWidget* buildRootRow(QWidget* form);
    QWidget* buildDateRow(QWidget* form);
    QWidget* buildSizeRow(QWidget* form);
    QWidget* buildExtensionRow(QWidget* form);
    QWidget* buildExclusionRow(QWidget* form);
    QWidget* buildResultArea();
    QWidget* buildSearchingPage();
    QWidget* buildErrorPage();
    void showForm();
    void showSearchState();
    void showFooter();
    void refreshTable();
    void showRegistrationSummary();
    void showContextMenu(const QPoint& position);

    std::unique_ptr<operations::SearchSheetModel> model_;
    Shell& shell_;
    SearchResultsTableModel* results_ = nullptr;
    SelectionLink* selectionLink_ = nullptr;

    QPushButton* search_ = nullptr;
    ElidedLabel* root_ = nullptr;
    QCheckBox* recursive_ = nullptr;
    QComboBox* dateMode_ = nullptr;
    QWidget* dateControls_ = nullptr;
    QLineEdit* dateValue_ = nullptr;
    QComboBox* dateUnit_ = nullptr;
    QLineEdit* minSize_ = nullptr;
    QLineEdit* maxSize_ = nullptr;
    QComboBox* extPreset_ = nullptr;
    QCheckBox* excludeCompressed_ = nullptr;
    QCheckBox* excludeHidden_ = nullptr;

    QStackedWidget* resultArea_ = nullptr;
    QLabel* progress_ = nullptr;
    QLabel* error_ = nullptr;
    QTableView* table_ = nullptr;
    QLabel* counts_ = nullptr;
    QPushButton* register_ = nullptr;
    QPointer<QDialog> askSheet_;
    QPointer<QMessageBox> alert_;
};

}  // namespace kelvane::ui::sheets
