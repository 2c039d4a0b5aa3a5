// SPDX-License-Identifier: MIT
#pragma once

#include "operations/sheets/WizardCandidate.h"
#include "operations/sheets/WizardPresetScanModel.h"
#include "ui/sheets/CandidateTableModel.h"

namespace kelvane::ui::sheets {

// The shown candidates of a wizard scan (at most 200) with a tick box on each
// name: the tick is the row's place in the page's selection.
class WizardCandidatesTableModel final
    : public CandidateTableModel<operations::WizardCandidate, operations::WizardPresetScanModel> {
public:
    enum ColumnIndex { name, size, stars, modified, location };

    explicit WizardCandidatesTableModel(operations::WizardPresetScanModel& model, QObject* parent = nullptr);

protected:
    QVariant text(const operations::WizardCandidate& row, int column) const override;
    QVariant toolTip(const operations::WizardCandidate& row, int column) const override;
};

}  // namespace kelvane::ui::sheets
