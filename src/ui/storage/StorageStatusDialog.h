// SPDX-License-Identifier: MIT
#pragma once

#include "volumes/StorageVolume.h"
#include "volumes/StorageVolumeDetector.h"

#include <QDialog>

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QLabel;
class QListView;
class QPushButton;
class QStackedWidget;
class QToolBar;
class QToolButton;

namespace kelvane::ui {

class VolumeListModel;
class VolumeDetailView;

// The storage status sheet: the mounted volumes in a sidebar and the selected
// one in the detail pane. It lists the volumes when it is shown and on
// "更新". The listing runs on a thread of its own that the sheet never waits
// for: closing the sheet or quitting leaves a slow listing behind, and its
// late result is dropped.
//
// Present one per request, window-modal:
//   auto* sheet = new StorageStatusDialog(volumes::systemVolumeLister(), mainWindow);
//   sheet->setAttribute(Qt::WA_DeleteOnClose);
//   sheet->open();
class StorageStatusDialog : public QDialog {
    Q_OBJECT
public:
    // Lists this machine's volumes.
    explicit StorageStatusDialog(QWidget* parent = nullptr);
    // `lister` is run off the UI thread and may outlive the sheet.
    explicit StorageStatusDialog(volumes::VolumeLister lister, QWidget* parent = nullptr);
    ~StorageStatusDialog() override;

    const std::vector<volumes::StorageVolume>& volumes() const;
    const std::optional<std::filesystem::path>& selection() const { return selection_; }
    const volumes::StorageVolume* selectedVolume() const;
    bool isLoading() const { return isLoading_; }

    // Starts a refresh unless one is running; returns at once.
    void startRefresh();
    // Stores a new list and repairs the selection: the selected volume stays
    // selected while it is listed, else the root volume, else the first one.
    void applyVolumes(std::vector<volumes::StorageVolume> volumes);
    // Selects the volume with this url (none clears the selection).
    void select(const std::optional<std::filesystem::path>& url);

    QAction* refreshAction() const { return refreshAction_; }
    QPushButton* closeButton() const { return closeButton_; }
    QListView* volumeList() const { return list_; }
    // The widget the detail pane shows now.
    QWidget* currentDetail() const;

signals:
    void refreshFinished();

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Channel;

    QToolBar* buildToolbar();
    QWidget* buildSidebar();
    QWidget* buildLoadingPage();
    QWidget* buildUnavailablePage();
    // The list's selection became the sheet's, unless the sheet set it.
    void takeListSelection();

    void finishRefresh(std::vector<volumes::StorageVolume> volumes);
    void setLoading(bool loading);
    void fadeInDetail();
    void updateDetail();
    void syncListSelection();

    volumes::VolumeLister lister_;
    std::shared_ptr<Channel> channel_;
    VolumeListModel* model_;
    std::optional<std::filesystem::path> selection_;
    bool isLoading_ = false;
    bool syncingSelection_ = false;

    QAction* refreshAction_;
    QPushButton* closeButton_;
    QListView* list_;
    QStackedWidget* detail_;
    QWidget* loadingPage_;
    QWidget* unavailablePage_;
    QWidget* placeholderSymbolHolder_;
    QLabel* placeholderTitle_;
    QLabel* placeholderDescription_;
    VolumeDetailView* detailView_ = nullptr;
};

}  // namespace kelvane::ui
