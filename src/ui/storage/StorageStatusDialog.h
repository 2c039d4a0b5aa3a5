// SPDX-License-Identifier: MIT
#pragma once

#include "operations/windows/StorageStatusModel.h"

#include <QDialog>


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
// one in the detail pane, drawn over a StorageStatusModel. It lists the
// volumes when it is shown and on "更新"; closing the sheet or quitting leaves
// a slow listing behind, and its late result is dropped.
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

    operations::StorageStatusModel& model() { return *state_; }
    const operations::StorageStatusModel& model() const { return *state_; }

    QAction* refreshAction() const { return refreshAction_; }
    QPushButton* closeButton() const { return closeButton_; }
    QListView* volumeList() const { return list_; }
    // The widget the detail pane shows now.
    QWidget* currentDetail() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QToolBar* buildToolbar();
    QWidget* buildSidebar();
    QWidget* buildLoadingPage();
    QWidget* buildUnavailablePage();
    // The list's selection became the sheet's, unless the sheet set it.
    void takeListSelection();

    void showVolumes();
    void showLoading();
    void fadeInDetail();
    void updateDetail();
    void syncListSelection();

    operations::StorageStatusModel* state_;
    VolumeListModel* model_;
    bool syncingSelection_ = false;
    // Compared only: a new list fades in when it changes the page.
    const QWidget* pageBeforeList_ = nullptr;

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
