// SPDX-License-Identifier: MIT
#pragma once

#include "volumes/StorageVolume.h"

#include <QAbstractListModel>

#include <filesystem>
#include <optional>
#include <vector>

namespace kelvane::ui {

// The storage window's sidebar: one row per volume, in the detector's order.
class VolumeListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { UrlRole = Qt::UserRole + 1 };

    using QAbstractListModel::QAbstractListModel;

    void setVolumes(std::vector<volumes::StorageVolume> volumes);
    const std::vector<volumes::StorageVolume>& volumes() const { return volumes_; }
    const volumes::StorageVolume* volumeAt(const QModelIndex& index) const;
    // The row of the volume with this url.
    std::optional<int> rowOf(const std::filesystem::path& url) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::vector<volumes::StorageVolume> volumes_;
};

}  // namespace kelvane::ui
