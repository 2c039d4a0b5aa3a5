// SPDX-License-Identifier: MIT
#pragma once

#include "volumes/StorageVolume.h"
#include "volumes/StorageVolumeDetector.h"

#include <QObject>

#include <filesystem>
#include <optional>
#include <vector>

namespace kelvane::operations {

// The storage window's state: the listed volumes, the selected one and
// whether a listing runs. A listing runs on a thread of its own that nobody
// waits for: a probe of a hung mount may never return, and it must neither
// hold the window open nor take a worker for good. A result that comes back
// after the model is gone is dropped. Main thread.
class StorageStatusModel final : public QObject {
    Q_OBJECT
public:
    // `lister` runs off the main thread and may outlive the model.
    explicit StorageStatusModel(volumes::VolumeLister lister, QObject* parent = nullptr);

    const std::vector<volumes::StorageVolume>& volumes() const { return volumes_; }
    const std::optional<std::filesystem::path>& selection() const { return selection_; }
    const volumes::StorageVolume* selectedVolume() const;
    bool isLoading() const { return isLoading_; }

    // Starts a listing unless one is running; returns at once.
    void startRefresh();
    // Stores a new list and repairs the selection: the selected volume stays
    // selected while it is listed, else the root volume, else the first one.
    void applyVolumes(std::vector<volumes::StorageVolume> volumes);
    // Selects the volume with this url (none clears the selection).
    void select(const std::optional<std::filesystem::path>& url);

signals:
    void volumesChanged();
    void selectionChanged();
    void loadingChanged();
    // A listing came back and is applied.
    void refreshFinished();

private:
    void setLoading(bool loading);

    volumes::VolumeLister lister_;
    std::vector<volumes::StorageVolume> volumes_;
    std::optional<std::filesystem::path> selection_;
    bool isLoading_ = false;
};

}  // namespace kelvane::operations
