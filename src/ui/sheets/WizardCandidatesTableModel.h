// SPDX-License-Identifier: MIT
#pragma once

#include "operations/sheets/WizardCandidate.h"
#include "ui/sheets/CandidateTableModel.h"

namespace kelvane::operations {
class WizardPresetScanModel;
}

namespace kelvane::ui::sheets {

// The shown candidates of a wizard scan (at most 200) with a tick box on each
// name: the tick is the row's place in the page's selection.
class WizardCandidatesTableModel final : public CandidateTableModel<operations::WizardCandidate> {
public:
    enum ColumnIndex { name, size, stars, modified, location };

    explicit WizardCandidatesTableModel(operations::WizardPresetScanModel& model, QObject* parent = nullptr);

    const Paths& selection() const override;
    void setSelection(Paths selection) override;

protected:
    QVariant text(const operations::WizardCandidate& row, int column) const override;
    QVariant toolTip(const operations::WizardCandidate& row, int column) const override;
    SortOrder sortOrder() const override;
    void setSortOrder(SortOrder order) override;
    void setTicked(const std::filesystem::path& url, bool ticked) override;

private:
    operations::WizardPresetScanModel& model_;
};

}  // namespace kelvane::ui::sheets
