// SPDX-License-Identifier: MIT
#pragma once

#include "ui/storage/CapacityBar.h"
#include "volumes/StorageVolume.h"

#include <QScrollArea>
#include <QString>

#include <set>

namespace kelvane::ui {

// The detail pane of the storage window: everything known about one volume
// on one scrolling page (header, capacity, availability verdict, hardware,
// file system, mount state, capabilities). Pure presentation; the window
// builds one per volume it shows and hands it that volume's new figures.
//
// Each card is named "<name>Card" (capacityCard, availabilityCard,
// hardwareCard, fileSystemCard, mountCard, capabilitiesCard); value widgets
// carry "value:<name>" (form rows) or "cell:<name>" (capacity figures), names
// that stay when a label's wording changes, so the page can be read back.
class VolumeDetailView : public QScrollArea {
    Q_OBJECT
public:
    explicit VolumeDetailView(volumes::StorageVolume volume, QWidget* parent = nullptr);

    const volumes::StorageVolume& volume() const { return volume_; }
    // New figures of the same volume, shown in place: the scroll position stays.
    void setVolume(volumes::StorageVolume volume);

    // used / total (0 when total is below 1), unclamped as the figures are.
    static double usageRatio(const volumes::StorageVolume& volume);
    // The usage as a whole percentage, halves rounded away from zero: "13%".
    static QString usagePercentText(const volumes::StorageVolume& volume);
    // The colour level of the usage percentage (the bar's thresholds).
    static CapacityLevel capacityTint(const volumes::StorageVolume& volume);
    // The labels of the set flags in the fixed table order, joined by ", ".
    static QString mountFlagsText(const std::set<volumes::StorageVolume::MountFlag>& flags);

private:
    void build();

    volumes::StorageVolume volume_;
};

}  // namespace kelvane::ui
