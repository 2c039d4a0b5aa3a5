// SPDX-License-Identifier: MIT
#pragma once

#include "operations/sheets/WizardCandidate.h"

#include <QAbstractTableModel>

#include <vector>

namespace kelvane::operations {
class WizardPresetScanModel;
}

namespace kelvane::ui::sheets {

// The shown candidates of a wizard scan (at most 200) with a tick box on each
// name: the tick is the row's place in the page's selection.
class WizardCandidatesTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { name, size, stars, modified, location, columnCount_ };

    explicit WizardCandidatesTableModel(operations::WizardPresetScanModel& model, QObject* parent = nullptr);

    const std::vector<operations::WizardCandidate>& rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    void refresh();
    void refreshTicks();

    operations::WizardPresetScanModel& model_;
    std::vector<operations::WizardCandidate> rows_;
};

}  // namespace kelvane::ui::sheets
