// SPDX-License-Identifier: MIT
#pragma once

#include "ui/sheets/SheetWidgets.h"

#include <QWidget>

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QPushButton;
class QTableView;
class QVBoxLayout;

namespace kelvane::operations {
class WizardPresetScanModel;
}

namespace kelvane::ui::sheets {

class SelectionLink;
class WizardCandidatesTableModel;

// The wizard's page for one preset: its filters, the scan's progress or
// outcome, the candidate table with tick boxes and the registration footer.
// It scans when shown and stops the scan when hidden.
class WizardPresetDetailView final : public QWidget {
    Q_OBJECT
public:
    WizardPresetDetailView(std::unique_ptr<operations::WizardPresetScanModel> model, QWidget* parent);
    ~WizardPresetDetailView() override;

    operations::WizardPresetScanModel& model() const { return *model_; }
    QTableView* table() const { return table_; }
    WizardCandidatesTableModel* candidatesModel() const { return candidates_; }

signals:
    void backRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QLayout* buildToolbar();
    QLayout* buildHeader();
    QLayout* buildFilters();
    QLayout* buildExtensionFilter();
    QLayout* buildAgeFilter();
    void buildStatus(QVBoxLayout* outer);
    QTableView* buildTable();
    QLayout* buildFooter();
    void connectModel();
    void showScanState();
    void showFooter();

    std::unique_ptr<operations::WizardPresetScanModel> model_;
    WizardCandidatesTableModel* candidates_ = nullptr;
    SelectionLink* selectionLink_ = nullptr;

    QPushButton* stop_ = nullptr;
    QPushButton* rescan_ = nullptr;
    BusyRow scanning_;
    QLabel* error_ = nullptr;
    EmptyState empty_;
    QTableView* table_ = nullptr;
    QLabel* counts_ = nullptr;
    QPushButton* selectAll_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPushButton* register_ = nullptr;
};

}  // namespace kelvane::ui::sheets
