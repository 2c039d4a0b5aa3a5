// SPDX-License-Identifier: MIT
#include "ui/storage/StorageStatusDialog.h"
#include "ui/storage/StorageTestSupport.h"
#include "ui/storage/VolumeDetailView.h"
#include "ui/storage/VolumeListModel.h"
#include "ui/storage/VolumeRowDelegate.h"

#include "support/EventLoopWait.h"
#include "support/ScriptedVolumeLister.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <QScrollBar>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <sys/statvfs.h>

namespace kelvane::ui {
namespace {

using namespace std::chrono_literals;
using test::makeVolume;
using volumes::StorageVolume;

using ScriptedLister = kelvane::test::ScriptedVolumeLister;

class StorageStatusDialogTest : public ::testing::Test {
protected:
    void SetUp() override { test::storageTestApp(); }

    bool refreshed(StorageStatusDialog& dialog)
    {
        return test::runEventsUntil([&] { return !dialog.model().isLoading(); }, 20s);
    }

    static QString placeholderTitle(const StorageStatusDialog& dialog)
    {
        return dialog.currentDetail()->findChild<QLabel*>("placeholderTitle")
                   ? dialog.currentDetail()->findChild<QLabel*>("placeholderTitle")->text()
                   : QString();
    }

    static std::optional<std::filesystem::path> shownVolume(const StorageStatusDialog& dialog)
    {
        if (auto* view = qobject_cast<VolumeDetailView*>(dialog.currentDetail()))
            return view->volume().url;
        return std::nullopt;
    }

    static std::optional<int> selectedRow(const StorageStatusDialog& dialog)
    {
        const auto rows = dialog.volumeList()->selectionModel()->selectedRows();
        if (rows.isEmpty())
            return std::nullopt;
        return rows.front().row();
    }
};

TEST_F(StorageStatusDialogTest, FirstShowListsVolumesAndSelectsTheRoot)
{
    ScriptedLister lister;
    lister.push({makeVolume("/data"), makeVolume("/", true), makeVolume("/media/usb")});
    StorageStatusDialog dialog(lister.lister());
    EXPECT_EQ(dialog.windowTitle(), "ストレージステータス");
    EXPECT_TRUE(dialog.model().volumes().empty());
    QAbstractItemModelTester tester(dialog.volumeList()->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);

    dialog.show();
    ASSERT_TRUE(refreshed(dialog));
    EXPECT_EQ(lister.calls(), 1);
    ASSERT_EQ(dialog.model().volumes().size(), 3u);
    EXPECT_EQ(dialog.model().selection(), std::filesystem::path("/"));
    EXPECT_EQ(selectedRow(dialog), 1);
    EXPECT_EQ(shownVolume(dialog), std::filesystem::path("/"));
    EXPECT_EQ(dialog.volumeList()->model()->index(2, 0).data().toString(), "usb");

    // Picking another row shows that volume.
    const QRect rect = dialog.volumeList()->visualRect(dialog.volumeList()->model()->index(2, 0));
    QTest::mouseClick(dialog.volumeList()->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(dialog.model().selection(), std::filesystem::path("/media/usb"));
    EXPECT_EQ(shownVolume(dialog), std::filesystem::path("/media/usb"));
}

TEST_F(StorageStatusDialogTest, RefreshKeepsTheSelectionOrRepairsIt)
{
    ScriptedLister lister;
    StorageVolume usb = makeVolume("/media/usb");
    lister.push({makeVolume("/", true), makeVolume("/data"), usb});
    StorageStatusDialog dialog(lister.lister());
    QAbstractItemModelTester tester(dialog.volumeList()->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    dialog.show();
    ASSERT_TRUE(refreshed(dialog));
    dialog.model().select(std::filesystem::path("/media/usb"));

    // Still mounted, at another place in the list and with new figures.
    usb.availableCapacity = 1;
    lister.push({usb, makeVolume("/data"), makeVolume("/", true)});
    dialog.refreshAction()->trigger();
    ASSERT_TRUE(refreshed(dialog));
    EXPECT_EQ(dialog.model().selection(), std::filesystem::path("/media/usb"));
    EXPECT_EQ(selectedRow(dialog), 0);
    ASSERT_TRUE(dialog.model().selectedVolume());
    EXPECT_EQ(dialog.model().selectedVolume()->availableCapacity, 1);
    EXPECT_EQ(qobject_cast<VolumeDetailView*>(dialog.currentDetail())->volume().availableCapacity, 1);

    // Gone: the root volume; no root: the first volume.
    lister.push({makeVolume("/data"), makeVolume("/", true)});
    dialog.model().startRefresh();
    ASSERT_TRUE(refreshed(dialog));
    EXPECT_EQ(dialog.model().selection(), std::filesystem::path("/"));
    lister.push({makeVolume("/data"), makeVolume("/srv")});
    dialog.model().startRefresh();
    ASSERT_TRUE(refreshed(dialog));
    EXPECT_EQ(dialog.model().selection(), std::filesystem::path("/data"));

    // The user clears the selection: a prompt; the next refresh selects again.
    dialog.volumeList()->selectionModel()->clearSelection();
    EXPECT_EQ(dialog.model().selection(), std::nullopt);
    EXPECT_EQ(placeholderTitle(dialog), "ボリュームを選択");
    EXPECT_TRUE(dialog.currentDetail()->findChild<QLabel*>("placeholderDescription")->text() ==
                "左の一覧から表示するボリュームを選んでください");
    lister.push({makeVolume("/data"), makeVolume("/", true)});
    dialog.model().startRefresh();
    ASSERT_TRUE(refreshed(dialog));
    EXPECT_EQ(dialog.model().selection(), std::filesystem::path("/"));

    // Nothing mounted.
    lister.push({});
    dialog.model().startRefresh();
    ASSERT_TRUE(refreshed(dialog));
    EXPECT_EQ(dialog.model().selection(), std::nullopt);
    EXPECT_EQ(placeholderTitle(dialog), "ボリュームを取得できません");
    EXPECT_EQ(dialog.currentDetail()->findChild<QLabel*>("placeholderDescription")->text(),
              "マウント済みボリュームが見つかりません");
}

TEST_F(StorageStatusDialogTest, NewFiguresOfTheShownVolumeAreShownInPlaceWhereTheUserScrolledTo)
{
    ScriptedLister lister;
    StorageVolume root = makeVolume("/", true);
    lister.push({root, makeVolume("/data")});
    StorageStatusDialog dialog(lister.lister());
    dialog.resize(760, 420);  // shorter than the page: the detail pane scrolls
    dialog.show();
    ASSERT_TRUE(refreshed(dialog));
    auto* view = qobject_cast<VolumeDetailView*>(dialog.currentDetail());
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(test::runEventsUntil([&] { return view->verticalScrollBar()->maximum() > 100; }, 20s));
    view->verticalScrollBar()->setValue(100);

    root.availableCapacity -= 4096;
    lister.push({root, makeVolume("/data")});
    dialog.model().startRefresh();
    ASSERT_TRUE(refreshed(dialog));
    EXPECT_EQ(dialog.currentDetail(), view) << "the same pane, not a new one";
    EXPECT_EQ(view->volume().availableCapacity, root.availableCapacity);
    EXPECT_EQ(view->verticalScrollBar()->value(), 100);
    QCoreApplication::processEvents();
    EXPECT_EQ(view->verticalScrollBar()->value(), 100);

    // Another volume starts at the top.
    dialog.model().select(std::filesystem::path("/data"));
    auto* other = qobject_cast<VolumeDetailView*>(dialog.currentDetail());
    ASSERT_NE(other, nullptr);
    EXPECT_NE(other, view);
    EXPECT_EQ(other->verticalScrollBar()->value(), 0);
}

TEST_F(StorageStatusDialogTest, WhileAListingHangsRefreshIsDisabledAndEscapeClosesAtOnce)
{
    ScriptedLister lister;
    lister.push({makeVolume("/", true)});
    auto dialog = std::make_unique<StorageStatusDialog>(lister.lister());
    dialog->show();
    ASSERT_TRUE(refreshed(*dialog));
    EXPECT_TRUE(dialog->refreshAction()->isEnabled());

    lister.setGate(false);
    lister.push({makeVolume("/", true), makeVolume("/mnt/nfs")});
    dialog->refreshAction()->trigger();
    ASSERT_TRUE(test::runEventsUntil([&] { return lister.calls() == 2; }, 20s));
    EXPECT_TRUE(dialog->model().isLoading());
    EXPECT_FALSE(dialog->refreshAction()->isEnabled());
    dialog->refreshAction()->trigger();  // disabled: no second listing
    dialog->model().startRefresh();
    QCoreApplication::processEvents();
    EXPECT_EQ(lister.calls(), 2);
    // The current detail stays on screen while the list reloads.
    EXPECT_EQ(shownVolume(*dialog), std::filesystem::path("/"));

    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);

    // The sheet goes away before the listing ends; the late result is dropped.
    dialog.reset();
    lister.setGate(true);
    ASSERT_TRUE(test::runEventsUntil([&] { return lister.finished() == 2; }, 20s));
    QCoreApplication::processEvents();
}

TEST_F(StorageStatusDialogTest, FirstLoadShowsProgressUntilTheListArrives)
{
    ScriptedLister lister;
    lister.setGate(false);
    lister.push({makeVolume("/", true)});
    StorageStatusDialog dialog(lister.lister());
    dialog.show();
    ASSERT_TRUE(dialog.model().isLoading());
    const auto* progress = dialog.currentDetail()->findChild<QLabel*>("loadingText");
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(progress->text(), "ボリューム情報を取得中…");
    EXPECT_EQ(dialog.closeButton()->text(), "閉じる");
    lister.setGate(true);
    ASSERT_TRUE(refreshed(dialog));
    EXPECT_EQ(shownVolume(dialog), std::filesystem::path("/"));
}

// This machine: the sheet opens on "/" and its usage agrees with statvfs.
TEST_F(StorageStatusDialogTest, OnThisMachineTheRootVolumeIsShownFirst)
{
    StorageStatusDialog dialog;
    dialog.show();
    ASSERT_TRUE(refreshed(dialog));
    EXPECT_EQ(dialog.model().selection(), std::filesystem::path("/"));
    auto* view = qobject_cast<VolumeDetailView*>(dialog.currentDetail());
    ASSERT_NE(view, nullptr);
    struct statvfs info {};
    ASSERT_EQ(::statvfs("/", &info), 0);
    const double share = 100.0 * (1.0 - static_cast<double>(info.f_bavail) / static_cast<double>(info.f_blocks));
    QString shown = view->findChild<QLabel*>("cell:usage")->text();
    ASSERT_TRUE(shown.endsWith('%'));
    shown.chop(1);
    EXPECT_NEAR(shown.toDouble(), share, 1.0);  // whole percent, while other programs write

    // A writable ext4 root can hold compressed files, and the pane says so.
    ASSERT_NE(dialog.model().selectedVolume(), nullptr);
    if (dialog.model().selectedVolume()->fileSystemType != "ext4" || dialog.model().selectedVolume()->isReadOnly)
        GTEST_SKIP() << "root file system is " << dialog.model().selectedVolume()->fileSystemType;
    EXPECT_EQ(view->findChild<QLabel*>("verdictTitle")->text(), "利用できます");
    EXPECT_EQ(view->findChild<QLabel*>("compressionCapability")->text(), "decmpfs 透過圧縮 — 対応");
}

TEST_F(StorageStatusDialogTest, SidebarBadgesComeLockFirst)
{
    const auto both = VolumeRowDelegate::badges(true, false);
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both[0].symbol, "lock.fill");
    EXPECT_EQ(both[0].help, "暗号化ボリューム (LUKS 等)");
    EXPECT_EQ(both[1].symbol, "exclamationmark.triangle.fill");
    EXPECT_EQ(both[1].help, "透過圧縮 (decmpfs) 非対応のボリューム。Kelvane では圧縮できません。");
    EXPECT_TRUE(VolumeRowDelegate::badges(false, true).empty());
    EXPECT_EQ(VolumeRowDelegate::badges(false, false).size(), 1u);
}

// Quitting must not wait for a listing stuck on a dead server: the child
// process opens the sheet over a listing that never returns, closes it and
// quits; the parent only checks that it ends, and in time.
TEST_F(StorageStatusDialogTest, QuittingDoesNotWaitForAHungListing)
{
    if (qEnvironmentVariableIsSet("KELVANE_STORAGE_QUIT_CHILD")) {
        ScriptedLister lister;
        lister.setGate(false);
        auto* dialog = new StorageStatusDialog(lister.lister());
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->show();
        if (!test::runEventsUntil([&] { return lister.calls() == 1; }, 20s))
            std::_Exit(3);
        dialog->close();
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        qApp->exec();
        std::printf("closed while listing\n");
        std::fflush(stdout);
        delete qApp;   // as main() ends
        std::exit(0);  // and every static destructor runs
    }

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KELVANE_STORAGE_QUIT_CHILD", "1");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=StorageStatusDialogTest.QuittingDoesNotWaitForAHungListing"});
    ASSERT_TRUE(child.waitForStarted(20000));
    const bool ended = child.waitForFinished(60000);
    if (!ended) {
        child.kill();
        child.waitForFinished();
    }
    ASSERT_TRUE(ended) << "the application waited for the listing";
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0);
    EXPECT_TRUE(child.readAllStandardOutput().contains("closed while listing"));
}

}  // namespace
}  // namespace kelvane::ui
