// SPDX-License-Identifier: MIT
#include "ui/storage/VolumeListModel.h"

#include "ui/common/VisibleName.h"
#include <utility>

namespace kelvane::ui {

void VolumeListModel::setVolumes(std::vector<volumes::StorageVolume> volumes)
{
    beginResetModel();
    volumes_ = std::move(volumes);
    endResetModel();
}

const volumes::StorageVolume* VolumeListModel::volumeAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this || index.row() < 0 || index.row() >= rowCount())
        return nullptr;
    return &volumes_[static_cast<std::size_t>(index.row())];
}

std::optional<int> VolumeListModel::rowOf(const std::filesystem::path& url) const
{
    for (std::size_t row = 0; row < volumes_.size(); ++row)
        if (volumes_[row].url == url)
            return static_cast<int>(row);
    return std::nullopt;
}

int VolumeListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(volumes_.size());
}

QVariant VolumeListModel::data(const QModelIndex& index, int role) const
{
    const volumes::StorageVolume* volume = volumeAt(index);
    if (!volume)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return visibleName(volume->name);
    case UrlRole:
        return visibleName(volume->url);
    default:
        return {};
    }
}

}  // namespace kelvane::ui
