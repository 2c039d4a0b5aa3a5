// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <QPointer>

#include "ui/sheets/WizardPresetDetailView.h"

#include <memory>
#include <vector>

class QLabel;
class QStackedWidget;
class QWidget;

namespace kelvane::operations {
class WizardSheetModel;
}

namespace kelvane::ui::sheets {


class WizardPresetRow;

// The space-freeing wizard: the preset folders with their sizes, registering
// a whole folder, or looking inside one to pick files. Window-modal; show it
// with open().
//
//   auto* sheet = new WizardSheet(std::make_unique<operations::WizardSheetModel>(modelContext), mainWindow);
//   sheet->setAttribute(Qt::WA_DeleteOnClose);
//   sheet->open();
class WizardSheet final : public QDialog {
    Q_OBJECT
public:
    WizardSheet(std::unique_ptr<operations::WizardSheetModel> model, QWidget* parent);
    ~WizardSheet() override;

    operations::WizardSheetModel& model() const { return *model_; }
    const std::vector<WizardPresetRow*>& rows() const { return rows_; }
    // The detail page on show, if any.
    WizardPresetDetailView* detail() const { return detail_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildToast();
    QWidget* buildPresetList();
    void showRows();
    void showToast();
    void showNavigation();

    std::unique_ptr<operations::WizardSheetModel> model_;
    QStackedWidget* pages_ = nullptr;
    QWidget* root_ = nullptr;
    QWidget* toastBox_ = nullptr;
    QLabel* toastSymbol_ = nullptr;
    QLabel* toast_ = nullptr;
    std::vector<WizardPresetRow*> rows_;
    QPointer<WizardPresetDetailView> detail_;
};

}  // namespace kelvane::ui::sheets
