// SPDX-License-Identifier: MIT
#include "ui/sheets/WizardCandidatesTableModel.h"

#include "display/Formatters.h"
#include "operations/sheets/FileCandidateRow.h"
#include "ui/common/VisibleName.h"

namespace kelvane::ui::sheets {

using operations::WizardCandidate;
using operations::WizardPresetScanModel;
using Key = WizardCandidate::Key;

WizardCandidatesTableModel::WizardCandidatesTableModel(WizardPresetScanModel& model, QObject* parent)
    : CandidateTableModel(model,
                          {{QStringLiteral("名前"), Key::name, Look::name},
                           {QStringLiteral("サイズ"), Key::size, Look::figure},
                           {QStringLiteral("期待度"), Key::stars, Look::text},
                           {QStringLiteral("最終更新"), Key::mtime, Look::date},
                           {QStringLiteral("場所"), Key::location, Look::text}},
                          {&WizardPresetScanModel::sortOrder, &WizardPresetScanModel::setSortOrder}, Ticks::onNames,
                          parent)
{
    connect(&model_, &WizardPresetScanModel::candidatesChanged, this,
            [this] { mergeRows(model_.displayedCandidates()); });
    connect(&model_, &WizardPresetScanModel::selectionChanged, this, [this] { refreshTicks(); });
    resetRows(model_.displayedCandidates());
}

QVariant WizardCandidatesTableModel::text(const WizardCandidate& row, int column) const
{
    switch (column) {
    case name: return visibleName(row.name());
    case size: return display::formatBytes(display::signedByteCount(row.size));
    case stars: return QString::fromStdString(operations::expectationBar(row.stars));
    case modified: return display::dateTimeFormatter().string(row.mtime);
    case location: return visibleName(row.location());
    }
    return {};
}

QVariant WizardCandidatesTableModel::toolTip(const WizardCandidate& row, int column) const
{
    if (column == size)
        return display::formatExactBytes(display::signedByteCount(row.size));
    if (column == location)
        return visibleName(row.location());
    return {};
}

}  // namespace kelvane::ui::sheets
