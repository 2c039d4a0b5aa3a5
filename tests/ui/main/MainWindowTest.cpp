// SPDX-License-Identifier: MIT
#include "MainWindowTestSupport.h"

#include "operations/folders/AddItemsFlow.h"
#include "platform/FileFlags.h"
#include "platform/FileSystem.h"
#include "platform/LogLevel.h"
#include "platform/LogStore.h"
#include "platform/qt/Settings.h"
#include "platform/qt/SettingsKeys.h"
#include "platform/qt/SettingsNotifier.h"
#include "store/IncompressibleFile.h"
#include "ui/common/ElidedLabel.h"
#include "ui/common/MenuCommands.h"
#include "ui/common/Popover.h"
#include "ui/sheets/CloudFolderWarningSheet.h"
#include "ui/main/FilterBar.h"
#include "ui/sheets/FolderRegistrationSheet.h"
#include "ui/main/ScanActivityBar.h"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <QTextDocument>
#include <QToolButton>
#include <QToolTip>

namespace kelvane::ui::test {
namespace {

using operations::MainWindowModel;

// --- first start and adding items ------------------------------------------------

TEST_F(MainWindowFixture, FirstStartInvitesToDropItems)
{
    openWindow();
    EXPECT_EQ(window_->currentScreen(), window_->startScreen());
    EXPECT_EQ(window_->startScreen()->findChild<QLabel*>(QStringLiteral("message"))->text(),
              QStringLiteral("ファイル / フォルダをドラッグして追加"));
    ASSERT_NE(buttonNamed(window_->startScreen(), "chooseItems"), nullptr);
    // Only the commands whose windows exist are on the toolbar.
    QStringList commands;
    for (QAction* action : window_->findChild<QToolBar*>(QStringLiteral("toolbar"))->actions())
        if (!action->text().isEmpty())
            commands << action->text();
    EXPECT_EQ(commands, (QStringList{"追加", "更新"}));
}

class AddingItemsTest : public MainWindowFixture, public ::testing::WithParamInterface<bool> {
protected:
    // A file, a folder (3 files, 2 without its subfolder), a folder in
    // Dropbox and a path that does not exist, in that order.
    std::vector<fs::path> prepareItems()
    {
        file_ = makeFile(home_ / "notes.txt");
        folder_ = home_ / "Projects";
        makeFile(folder_ / "a.txt");
        makeFile(folder_ / "b.txt");
        makeFile(folder_ / "sub" / "c.txt");
        cloud_ = home_ / "Dropbox" / "Shared";
        makeFile(cloud_ / "d.txt");
        missing_ = home_ / "gone 日本.txt";
        return {file_, folder_, cloud_, missing_};
    }

    void deliver(const std::vector<fs::path>& items)
    {
        if (!GetParam()) {
            shell_.pickAnswers.push_back(items);
            QTest::mouseClick(buttonNamed(window_->startScreen(), "chooseItems"),
                              Qt::LeftButton);
            return;
        }
        auto* mime = new QMimeData;
        QList<QUrl> urls;
        for (const auto& item : items)
            urls << QUrl::fromLocalFile(QString::fromStdString(item.string()));
        mime->setUrls(urls);
        // As the file manager's drag ends on the window (no drag is running
        // here for the application to route the drop through).
        QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        static_cast<QObject*>(window_.get())->event(&enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(200, 200), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        static_cast<QObject*>(window_.get())->event(&drop);
        EXPECT_TRUE(drop.isAccepted());
        delete mime;
    }

    template <class Sheet>
    Sheet* sheetOnScreen()
    {
        Sheet* sheet = nullptr;
        waitFor([&] { return (sheet = qobject_cast<Sheet*>(window_->sheets().current())) != nullptr; });
        return sheet;
    }

    fs::path file_, folder_, cloud_, missing_;
};

TEST_P(AddingItemsTest, EveryItemIsOfferedInTurn)
{
    openWindow();
    deliver(prepareItems());

    // The file is registered at once.
    ASSERT_NE(storedItem("notes.txt"), nullptr);
    EXPECT_EQ(storedItem("notes.txt")->kind(), "file");

    // The folder waits in its sheet, which counts its files both ways.
    auto* sheet = sheetOnScreen<FolderRegistrationSheet>();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->findChild<QLabel*>(QStringLiteral("folderName"))->text(), QStringLiteral("Projects"));
    auto* count = sheet->findChild<QLabel*>(QStringLiteral("fileCount"));
    ASSERT_TRUE(waitFor([&] { return count->text() == "3"; })) << count->text().toStdString();
    bool captioned = false;
    for (QLabel* label : sheet->findChildren<QLabel*>())
        captioned = captioned || (label->text() == QStringLiteral("対象ファイル数:") && label->isVisibleTo(sheet));
    EXPECT_TRUE(captioned);
    sheet->findChild<QCheckBox*>()->click();
    ASSERT_TRUE(waitFor([&] { return count->text() == "2"; })) << count->text().toStdString();
    EXPECT_EQ(storedItem("Projects"), nullptr);
    QTest::keyClick(sheet, Qt::Key_Return);
    ASSERT_NE(storedItem("Projects"), nullptr);
    EXPECT_FALSE(storedItem("Projects")->includeSubfolders());

    // Then the folder in cloud storage: the warning first, then its sheet.
    auto* warning = sheetOnScreen<CloudFolderWarningSheet>();
    ASSERT_NE(warning, nullptr);
    EXPECT_EQ(warning->findChild<QLabel*>(QStringLiteral("title"))->text(),
              QStringLiteral("Dropbox 配下を登録しようとしています"));
    QTest::mouseClick(buttonNamed(warning, "confirmButton"), Qt::LeftButton);
    auto* cloudSheet = sheetOnScreen<FolderRegistrationSheet>();
    ASSERT_NE(cloudSheet, nullptr);
    EXPECT_EQ(cloudSheet->findChild<QLabel*>(QStringLiteral("folderName"))->text(), QStringLiteral("Shared"));
    QTest::keyClick(cloudSheet, Qt::Key_Return);
    ASSERT_NE(storedItem("Shared"), nullptr);
    EXPECT_TRUE(storedItem("Shared")->includeSubfolders());

    // Last, the missing path is reported, decoded.
    ASSERT_TRUE(waitFor([&] { return window_->errorAlert() && window_->errorAlert()->isVisible(); }));
    EXPECT_EQ(window_->errorAlert()->text().toStdString(), "見つかりません: " + missing_.string());
    EXPECT_EQ(window_->errorAlert()->textFormat(), Qt::PlainText);
    EXPECT_EQ(window_->sheets().current(), nullptr);
    EXPECT_EQ(storedItems().size(), 3u);

    // The table shows what was registered.
    ASSERT_TRUE(waitFor([&] { return rows().rowCount() == 3; }));
    EXPECT_EQ(window_->currentScreen(), window_->table());
}

TEST_P(AddingItemsTest, CancellingTheWarningRegistersNothingAndGoesOn)
{
    openWindow();
    prepareItems();
    const fs::path cloudFile = makeFile(home_ / "Dropbox" / "memo.txt");
    deliver({cloudFile, file_});
    auto* warning = sheetOnScreen<CloudFolderWarningSheet>();
    ASSERT_NE(warning, nullptr);
    // The file behind it waits for the answer.
    EXPECT_EQ(storedItem("notes.txt"), nullptr);
    QTest::keyClick(warning, Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return storedItem("notes.txt") != nullptr; }));
    EXPECT_EQ(storedItem("memo.txt"), nullptr);
    EXPECT_EQ(window_->adding().waitingCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(PickerAndDrop, AddingItemsTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Drop" : "Picker"; });

// --- the table -----------------------------------------------------------------------

TEST_F(MainWindowFixture, AScanFillsFolderRowsAndTheirFiles)
{
    const fs::path folder = home_ / "Projects";
    makeFile(folder / "a.txt", 5000);
    makeFile(folder / "b.txt", 12345);
    makeFile(folder / "sub" / "c.txt", 7000);
    registerItem(folder, true);
    makeFile(home_ / "single.txt", 6000);
    registerItem(home_ / "single.txt", false);

    std::vector<bool> barShown;
    openWindow();
    QObject::connect(model_.get(), &MainWindowModel::scanActivityChanged, window_.get(),
            [&] { barShown.push_back(!window_->scanBar()->isHidden()); });
    // The window started the scan as it opened; look at it from the start.
    if (model_->scanActivity())
        barShown.insert(barShown.begin(), !window_->scanBar()->isHidden());
    ASSERT_TRUE(waitFor([&] { return cellText("Projects", MainColumn::status) == "0 / 3"; }))
        << cellText("Projects", MainColumn::status).toStdString();
    ASSERT_TRUE(waitFor([&] { return window_->scanBar()->isHidden(); }));
    ASSERT_FALSE(barShown.empty());
    EXPECT_TRUE(barShown.front());
    EXPECT_FALSE(barShown.back());

    // The count of compressed files is there before every file is classified:
    // until the inspection of the last one lands, the tooltip says it measures.
    const auto toolTip = [&] { return rowNamed("Projects", MainColumn::status).data(Qt::ToolTipRole).toString(); };
    ASSERT_TRUE(waitFor([&] { return toolTip() == QStringLiteral("圧縮済み: 0 件\n未圧縮: 3 件"); }))
        << toolTip().toStdString();
    EXPECT_EQ(cellText("Projects", MainColumn::logicalSize), QStringLiteral("24 KB"));
    window_->table()->expand(rowNamed("Projects"));
    EXPECT_EQ(cellText("b.txt", MainColumn::status), QStringLiteral("○ 未圧縮"));
    EXPECT_EQ(cellText("b.txt", MainColumn::logicalSize), QStringLiteral("12 KB"));
    EXPECT_EQ(rowNamed("b.txt", MainColumn::logicalSize).data(Qt::ToolTipRole).toString(),
              QStringLiteral("12,345 Bytes"));
    EXPECT_EQ(cellText("b.txt", MainColumn::kind), QStringLiteral("ファイル"));
    // The registered file gets its state from the window's own inspection.
    ASSERT_TRUE(waitFor([&] { return cellText("single.txt", MainColumn::status) == "○ 未圧縮"; }));
    EXPECT_FALSE(anyRowSpins());
}

TEST_F(MainWindowFixture, FiltersNarrowTheRowsAndClearingBringsThemBack)
{
    makeFile(home_ / "alpha.txt");
    registerItem(home_ / "alpha.txt", false);
    makeFile(home_ / "beta.log");
    registerItem(home_ / "beta.log", false);
    openWindow();
    ASSERT_TRUE(waitFor([&] { return rows().rowCount() == 2; }));
    FilterBar* bar = window_->filterBar();
    EXPECT_EQ(bar->statusButton()->text(), QStringLiteral("状態"));
    EXPECT_TRUE(bar->clearButton()->isHidden());

    bar->statusButton()->menu()->aboutToShow();
    QAction* uncompressed = bar->statusButton()->menu()->findChild<QAction*>(QStringLiteral("uncompressed"));
    ASSERT_NE(uncompressed, nullptr);
    uncompressed->trigger();
    EXPECT_EQ(bar->statusButton()->text(), QStringLiteral("状態: 未圧縮"));
    EXPECT_FALSE(bar->clearButton()->isHidden());
    EXPECT_EQ(model_->statusFilter(), operations::CompressionStatusFilter::uncompressed);

    QTest::keyClicks(window_->searchField(), QStringLiteral("zzz"));
    ASSERT_TRUE(waitFor([&] { return window_->currentScreen() == window_->noMatchScreen(); }));
    QTest::mouseClick(buttonNamed(window_->noMatchScreen(), "clearFilters"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return window_->currentScreen() == window_->table() && rows().rowCount() == 2; }));
    EXPECT_TRUE(window_->searchField()->text().isEmpty());
    EXPECT_EQ(bar->statusButton()->text(), QStringLiteral("状態"));
    EXPECT_TRUE(bar->clearButton()->isHidden());

    // A search alone is a filter too.
    QTest::keyClicks(window_->searchField(), QStringLiteral("ALPHA"));
    EXPECT_FALSE(bar->clearButton()->isHidden());
    ASSERT_TRUE(waitFor([&] { return rows().rowCount() == 1; }));
    EXPECT_EQ(cellText("alpha.txt", MainColumn::name), QStringLiteral("alpha.txt"));
}

// Filters kept from the last session that leave no row: the no-match screen
// from the very first refresh.
TEST_F(MainWindowFixture, FirstRefreshWithoutMatchingRowsShowsTheNoMatchScreen)
{
    makeFile(home_ / "alpha.txt");
    registerItem(home_ / "alpha.txt", false);
    platform::Settings().setValue(platform::settings_keys::kindFilter, QStringLiteral("folder"));
    model_ = std::make_unique<operations::MainWindowModel>(*cache_, container_->mainContext());
    openWindow();
    EXPECT_EQ(window_->currentScreen(), window_->table());  // nothing known yet
    ASSERT_TRUE(waitFor([&] { return window_->currentScreen() == window_->noMatchScreen(); }, 20s));
    EXPECT_EQ(rows().rowCount(), 0);
    QTest::mouseClick(buttonNamed(window_->noMatchScreen(), "clearFilters"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return window_->currentScreen() == window_->table() && rows().rowCount() == 1; }));
}

// A stored minimum of stars outside 0...5 reads as 0 everywhere: the label,
// the marked option and the rows agree, and nothing counts as a filter.
TEST_F(MainWindowFixture, StarMinimumOutsideTheScaleReadsAsNone)
{
    makeFile(home_ / "alpha.txt");
    registerItem(home_ / "alpha.txt", false);
    makeFile(home_ / "movie.mp4");
    registerItem(home_ / "movie.mp4", false);
    for (const std::int64_t stored : {7, -1, 6}) {
        SCOPED_TRACE(stored);
        closeWindow();
        platform::Settings().setValue(platform::settings_keys::minStarsFilter, stored);
        model_ = std::make_unique<operations::MainWindowModel>(*cache_, container_->mainContext());
        EXPECT_EQ(model_->minStars(), 0);
        openWindow();
        ASSERT_TRUE(waitFor([&] { return rows().rowCount() == 2; }, 20s));
        FilterBar* bar = window_->filterBar();
        EXPECT_EQ(bar->starsButton()->text(), QStringLiteral("期待度"));
        EXPECT_TRUE(bar->clearButton()->isHidden());
        bar->starsButton()->menu()->aboutToShow();
        QStringList marked;
        for (QAction* action : bar->starsButton()->menu()->actions())
            if (action->isChecked())
                marked << action->text();
        EXPECT_EQ(marked, QStringList{QStringLiteral("全て表示")});
    }
    // Setting such a value does the same.
    model_->setMinStars(9);
    EXPECT_EQ(model_->minStars(), 0);
}

// --- the status cells' own inspection ----------------------------------------------

std::vector<std::string> logged(std::chrono::system_clock::time_point since, platform::LogLevel level)
{
    std::vector<std::string> messages;
    for (const auto& entry : platform::LogStore::currentProcess().entries(since))
        if (entry.level == static_cast<int>(level) && entry.category == "ui")
            messages.push_back(entry.message);
    return messages;
}

// The cell stores what the inspector says, also for a file the store has
// recorded as not shrinking, and logs a failure; "再試行" does the same.
// Folder rows get an inspection of their own as well.
TEST_F(MainWindowFixture, CellsStoreTheInspectorsResultAsItIsAndLogFailures)
{
    const auto since = std::chrono::system_clock::now();
    const fs::path broken = home_ / "broken.txt";
    makeFile(broken, 0);
    ASSERT_EQ(platform::chflags(broken, platform::UF_COMPRESSED), 0);  // flagged, without a header
    registerItem(broken, false);
    const fs::path plain = makeFile(home_ / "plain.txt");
    registerItem(plain, false);
    const fs::path folder = home_ / "Docs";
    makeFile(folder / "x.txt");
    registerItem(folder, true);
    auto& context = container_->mainContext();
    for (const fs::path& path : {plain, broken})
        context.insert(std::make_shared<store::IncompressibleFile>(path.string(), std::chrono::system_clock::now(), 5000));
    context.save();

    openWindow();
    ASSERT_TRUE(waitFor([&] { return cellText("broken.txt", MainColumn::status) == "⚠ エラー"; }));
    ASSERT_TRUE(waitFor([&] { return cellText("plain.txt", MainColumn::status) == "○ 未圧縮"; }));
    EXPECT_EQ(model_->incompressiblePaths().size(), 2u);
    const operations::RowId folderRow = rows().row(rowNamed("Docs"))->id;
    ASSERT_TRUE(waitFor([&] { return model_->cache().entries().contains(folderRow); }));
    const std::string failure = "inspect failed for <private>: 圧縮フラグが立っていますが decmpfs ヘッダが見つかりません。";
    ASSERT_TRUE(waitFor([&] {
        const auto errors = logged(since, platform::LogLevel::error);
        return std::count(errors.begin(), errors.end(), failure) == 1;
    }));

    // Mended on disk: the retry stores the plain state, not the record's.
    ASSERT_EQ(platform::chflags(broken, 0), 0);
    makeFile(broken);
    ASSERT_NO_FATAL_FAILURE(retryFromThePopover("broken.txt"));
    ASSERT_TRUE(waitFor([&] { return cellText("broken.txt", MainColumn::status) == "○ 未圧縮"; }))
        << cellText("broken.txt", MainColumn::status).toStdString();
}

// A refresh slower than 50 ms is logged at debug level, a cancelled one too;
// 50 ms exactly is not. The model's clock is held still by the test.
TEST_F(MainWindowFixture, SlowDerivedRefreshesAreLogged)
{
    const auto since = std::chrono::system_clock::now();
    auto now = std::make_shared<std::chrono::milliseconds>(0);
    model_->setMonotonicClock([now] { return std::chrono::nanoseconds(*now); });
    const operations::TaskHandle first = model_->refreshDerivedRows();
    const operations::TaskHandle second = model_->refreshDerivedRows();
    EXPECT_TRUE(first.isCancelled());
    *now = std::chrono::milliseconds(127);
    ASSERT_TRUE(waitFor([&] { return first.isFinished() && second.isFinished(); }));
    *now = std::chrono::milliseconds(1000);
    const operations::TaskHandle exact = model_->refreshDerivedRows();
    *now = std::chrono::milliseconds(1050);
    ASSERT_TRUE(waitFor([&] { return exact.isFinished(); }));
    const auto lines = logged(since, platform::LogLevel::debug);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "derived aggregates refreshed in 0.127s"), 2);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) { return line.starts_with("derived aggregates refreshed"); }),
              2);
}

TEST_F(MainWindowFixture, ColumnChoicesSurviveARestartButTheSortOrderDoesNot)
{
    openWindow();
    QHeaderView* header = window_->table()->header();
    EXPECT_TRUE(header->isSectionHidden(static_cast<int>(MainColumn::path)));
    EXPECT_FALSE(header->isSectionHidden(static_cast<int>(MainColumn::kind)));
    window_->setColumnShown(MainColumn::kind, false);
    window_->setColumnShown(MainColumn::path, true);
    window_->setColumnShown(MainColumn::name, false);  // cannot be hidden
    header->setSortIndicator(static_cast<int>(MainColumn::logicalSize), Qt::DescendingOrder);
    EXPECT_EQ(model_->sortOrder().front().key, operations::DisplayRowComparator::Key::logicalSize);

    closeWindow();
    model_ = std::make_unique<MainWindowModel>(*cache_, container_->mainContext());
    openWindow();
    header = window_->table()->header();
    EXPECT_TRUE(header->isSectionHidden(static_cast<int>(MainColumn::kind)));
    EXPECT_FALSE(header->isSectionHidden(static_cast<int>(MainColumn::path)));
    EXPECT_FALSE(header->isSectionHidden(static_cast<int>(MainColumn::name)));
    EXPECT_EQ(header->sortIndicatorSection(), static_cast<int>(MainColumn::name));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
}

TEST_F(MainWindowFixture, AFileDeletedOnDiskShowsAsMissingAfterRefreshAll)
{
    const fs::path file = makeFile(home_ / "report.txt");
    registerItem(file, false);
    const fs::path folder = home_ / "Docs";
    makeFile(folder / "x.txt");
    makeFile(folder / "y.txt");
    registerItem(folder, true);
    openWindow();
    ASSERT_TRUE(waitFor([&] { return cellText("report.txt", MainColumn::status) == "○ 未圧縮"; }));
    window_->table()->expand(rowNamed("Docs"));

    fs::remove(file);
    MenuCommandCenter::shared().post(MenuCommand::refreshAll);
    ASSERT_TRUE(waitFor([&] { return cellText("report.txt", MainColumn::status) == "⚠ 見つからない"; }))
        << cellText("report.txt", MainColumn::status).toStdString();
    ASSERT_TRUE(waitFor([&] { return !anyRowSpins() && cellText("Docs", MainColumn::status) == "0 / 2"; }));

    // Its popover explains and offers a retry; Esc closes it.
    const QModelIndex status = rowNamed("report.txt", MainColumn::status);
    QTest::mouseClick(window_->table()->viewport(), Qt::LeftButton, {},
                      window_->table()->visualRect(status).center());
    ASSERT_TRUE(waitFor([&] { return window_->popover() && window_->popover()->isVisible(); }));
    Popover* popover = window_->popover();
    EXPECT_NE(buttonNamed(popover, "retry"), nullptr);
    EXPECT_NE(buttonNamed(popover, "reveal"), nullptr);
    EXPECT_EQ(popover->findChild<QLabel*>(QStringLiteral("title"))->text(), QStringLiteral("ステータス取得に失敗"));
    // Once the item no longer resolves to a place on disk there is nothing to
    // show; before that, its last known path.
    QTest::mouseClick(buttonNamed(popover, "reveal"), Qt::LeftButton);
    for (const auto& shown : shell_.shownInFileManager)
        EXPECT_EQ(shown, Shell::Paths{file});
    QTest::keyClick(popover, Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return !window_->popover(); }));

    // Back on disk, the next refresh finds it again.
    makeFile(file);
    MenuCommandCenter::shared().post(MenuCommand::refreshAll);
    ASSERT_TRUE(waitFor([&] { return cellText("report.txt", MainColumn::status) == "○ 未圧縮"; }));
    EXPECT_TRUE(waitFor([&] { return !anyRowSpins(); }));

    // Missing again, then back: the popover's retry alone finds it.
    fs::remove(file);
    window_->refreshAll();
    ASSERT_TRUE(waitFor([&] { return cellText("report.txt", MainColumn::status) == "⚠ 見つからない"; }));
    makeFile(file);
    ASSERT_NO_FATAL_FAILURE(retryFromThePopover("report.txt"));
    ASSERT_TRUE(waitFor([&] { return cellText("report.txt", MainColumn::status) == "○ 未圧縮"; }))
        << cellText("report.txt", MainColumn::status).toStdString();
    EXPECT_TRUE(!window_->popover() || !window_->popover()->isVisible());
    EXPECT_TRUE(waitFor([&] { return !anyRowSpins(); }));
}

TEST_F(MainWindowFixture, RemovingARegistrationLeavesTheFileOnDisk)
{
    const fs::path file = makeFile(home_ / "keep.txt");
    registerItem(file, false);
    openWindow();
    ASSERT_TRUE(waitFor([&] { return rows().rowCount() == 1; }));
    const operations::RowId id = rows().row(rows().index(0, 0))->id;

    QMenu* menu = window_->makeContextMenu({id});
    ASSERT_NE(menu, nullptr);
    QStringList names;
    for (QAction* action : menu->actions())
        if (!action->isSeparator())
            names << action->objectName();
    EXPECT_EQ(names, (QStringList{"openItems", "revealItems", "refreshSelection", "removeRegistrations"}));
    for (const char* name : {"openItems", "revealItems", "removeRegistrations"})
        menu->findChild<QAction*>(QString::fromLatin1(name))->trigger();
    delete menu;
    EXPECT_EQ(shell_.openedFiles, std::vector<fs::path>{file});
    ASSERT_EQ(shell_.shownInFileManager.size(), 1u);
    EXPECT_EQ(shell_.shownInFileManager[0], Shell::Paths{file});

    EXPECT_TRUE(storedItems().empty());
    EXPECT_TRUE(fs::exists(file));
    ASSERT_TRUE(waitFor([&] { return window_->currentScreen() == window_->startScreen(); }));
    EXPECT_EQ(window_->makeContextMenu({}), nullptr);
}

// What a label shows of its text: rich text is shown as its rendered characters.
QString shownText(const QLabel* label)
{
    if (!label)
        return QStringLiteral("<no label>");
    const bool rich = label->textFormat() == Qt::RichText ||
                      (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
    if (!rich)
        return label->text();
    QTextDocument document;
    document.setHtml(label->text());
    return document.toPlainText();
}

const QLabel* tipLabel()
{
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->objectName() == QStringLiteral("qtooltip_label") && top->isVisible())
            return qobject_cast<QLabel*>(top);
    return nullptr;
}

TEST_F(MainWindowFixture, MarkupInNamesIsShownAsTyped)
{
    // "<b>x</b>.txt": the slash makes it a file "b>.txt" in a folder "<b>x<".
    const fs::path file = makeFile(home_ / "<b>x<" / "b>.txt");
    const fs::path folder = home_ / "<i>y<br>";
    makeFile(folder / "<u>z.txt");
    registerItem(file, false);
    openWindow();
    ASSERT_TRUE(waitFor([&] { return rows().rowCount() == 1; }));
    window_->setColumnShown(MainColumn::path, true);
    EXPECT_EQ(cellText("b>.txt", MainColumn::name), QStringLiteral("b>.txt"));
    EXPECT_EQ(cellText("b>.txt", MainColumn::path), QStringLiteral("~/<b>x<"));
    // The path's tooltip, as the view puts it up under the pointer.
    const QRect pathCell = window_->table()->visualRect(rowNamed("b>.txt", MainColumn::path));
    QHelpEvent hover(QEvent::ToolTip, pathCell.center(), window_->table()->viewport()->mapToGlobal(pathCell.center()));
    QCoreApplication::sendEvent(window_->table()->viewport(), &hover);
    ASSERT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(shownText(tipLabel()), QStringLiteral("~/<b>x<"));
    QToolTip::hideText();

    fs::remove(file);
    window_->refreshAll();
    ASSERT_TRUE(waitFor([&] { return cellText("b>.txt", MainColumn::status) == "⚠ 見つからない"; }))
        << cellText("b>.txt", MainColumn::status).toStdString();
    window_->showStatusDetail(rows().row(rows().index(0, 0))->id);
    ASSERT_TRUE(waitFor([&] { return window_->popover() != nullptr; }));
    auto* explanation = window_->popover()->findChild<QLabel*>(QStringLiteral("explanation"));
    EXPECT_EQ(explanation->textFormat(), Qt::PlainText);
    EXPECT_TRUE(explanation->text().contains(QStringLiteral("/b>.txt\n"))) << explanation->text().toStdString();
    window_->popover()->close();

    window_->handleSelectedURLs({folder, home_ / "<b>gone</b>"});
    auto* sheet = qobject_cast<FolderRegistrationSheet*>(window_->sheets().current());
    ASSERT_NE(sheet, nullptr);
    auto* name = sheet->findChild<QLabel*>(QStringLiteral("folderName"));
    EXPECT_EQ(name->text(), QStringLiteral("<i>y<br>"));
    EXPECT_EQ(name->textFormat(), Qt::PlainText);
    sheet->reject();
    ASSERT_TRUE(waitFor([&] { return window_->errorAlert() != nullptr; }));
    EXPECT_EQ(window_->errorAlert()->textFormat(), Qt::PlainText);
    EXPECT_EQ(window_->errorAlert()->text().toStdString(), "見つかりません: " + (home_ / "<b>gone</b>").string());
}

// A missing path cannot pass for another one in the alert either.
TEST_F(MainWindowFixture, TheAlertShowsAMissingPathsControlAndDirectionCharactersVisibly)
{
    openWindow();
    window_->handleSelectedURLs({home_ / "gone\u202Etxt.exe\nok"});
    ASSERT_TRUE(waitFor([&] { return window_->errorAlert() && window_->errorAlert()->isVisible(); }));
    EXPECT_EQ(window_->errorAlert()->text(),
              QStringLiteral("見つかりません: ") + QString::fromStdString(home_.path().string()) +
                  QStringLiteral("/gone\\u202Etxt.exe\\nok"));
}

TEST_F(MainWindowFixture, TurningTheReminderOnOrOffElsewhereReschedulesItAtOnceWithTheWindowsCount)
{
    registerItem(makeFile(home_ / "a.txt"), false);
    registerItem(makeFile(home_ / "b.txt"), false);
    std::vector<std::pair<bool, std::int64_t>> reschedules;
    MainWindowHooks hooks;
    hooks.rescheduleReminder = [&](bool enabled, std::int64_t count) { reschedules.emplace_back(enabled, count); };
    openWindow(std::move(hooks));
    ASSERT_TRUE(waitFor([&] { return model_->items().size() == 2; }));

    // As the settings window does: write the key, then announce it.
    namespace keys = platform::settings_keys;
    platform::Settings settings;
    auto change = [&](const char* key) { platform::SettingsNotifier::instance().notifyChanged(key); };
    settings.setValue(keys::weeklyReminderEnabled, false);
    change(keys::weeklyReminderEnabled.name);
    settings.setValue(keys::weeklyReminderEnabled, true);
    change(keys::weeklyReminderEnabled.name);
    // Other settings leave the reminder alone.
    change(keys::ratioDisplayMode.name);
    change(keys::logRetentionDays.name);
    EXPECT_EQ(reschedules, (std::vector<std::pair<bool, std::int64_t>>{{false, 2}, {true, 2}}));
}

TEST_F(MainWindowFixture, AFolderWhoseNameMisleadsIsShownAsItIsAndRegisteredAsItIs)
{
    const fs::path folder = home_ / "in\xffside" / "photos\u202Egpj.exe\t";
    makeFile(folder / "a.txt");
    openWindow();
    window_->handleSelectedURLs({folder});
    auto* sheet = qobject_cast<FolderRegistrationSheet*>(window_->sheets().current());
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->findChild<QLabel*>(QStringLiteral("folderName"))->text(), "photos\\u202Egpj.exe\\t");
    EXPECT_EQ(sheet->findChild<ElidedLabel*>(QStringLiteral("parentPath"))->text(),
              QString::fromStdString(home_.path().string()) + "/in\\xFFside");
    QTest::mouseClick(buttonNamed(sheet, "confirmButton"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return storedItems().size() == 1; }));
    EXPECT_EQ(storedItems()[0]->displayName(), "photos\u202Egpj.exe\t");
    ASSERT_TRUE(waitFor([&] { return rows().rowCount() == 1; }));
    EXPECT_EQ(cellText("photos\u202Egpj.exe\t", MainColumn::name), "photos\\u202Egpj.exe\\t");
}

TEST_F(MainWindowFixture, TheVeryFirstLaunchShowsAboutOnce)
{
    int abouts = 0;
    MainWindowHooks hooks;
    hooks.openAbout = [&] { ++abouts; };
    openWindow(hooks);
    EXPECT_EQ(abouts, 1);
    closeWindow();
    openWindow(hooks);
    EXPECT_EQ(abouts, 1);
}

// --- menus ----------------------------------------------------------------------------

QAction* findAction(QMenuBar& bar, const QString& name)
{
    for (QAction* menu : bar.actions())
        for (QAction* action : menu->menu()->actions())
            if (action->objectName() == name)
                return action;
    return nullptr;
}

QAction* findAction(QMenuBar& bar, MenuCommand command) { return findAction(bar, menuCommandName(command)); }

TEST_F(MainWindowFixture, MenuItemsPostTheirCommandsAndOnlyAWindowReacts)
{
    int wizards = 0;
    MainWindowHooks hooks;
    hooks.openWizard = [&] { ++wizards; };
    openWindow(std::move(hooks));
    QMenuBar bar;
    int quits = 0;
    int settings = 0;
    populateMenuBar(&bar, window_->commands(), shell_, [&] { ++quits; }, [&] { ++settings; });
    QSignalSpy posted(&MenuCommandCenter::shared(), &MenuCommandCenter::posted);

    QAction* add = findAction(bar, MenuCommand::openAddPanel);
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    add->trigger();
    EXPECT_EQ(shell_.pickCount, 1);
    ASSERT_EQ(posted.count(), 1);
    EXPECT_EQ(posted.at(0).at(0).value<MenuCommand>(), MenuCommand::openAddPanel);
    EXPECT_EQ(add->objectName(), QStringLiteral("com.orbwright.kelvane.command.openAddPanel"));

    QAction* wizard = findAction(bar, MenuCommand::openWizard);
    ASSERT_NE(wizard, nullptr);
    EXPECT_EQ(wizard->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W));
    wizard->trigger();
    EXPECT_EQ(wizards, 1);

    QSignalSpy cleared(cache_.get(), &operations::FileStatusCache::versionChanged);
    findAction(bar, MenuCommand::refreshAll)->trigger();
    EXPECT_GE(cleared.count(), 1);
    EXPECT_EQ(posted.last().at(0).value<MenuCommand>(), MenuCommand::refreshAll);

    // What has no window part yet is not offered.
    for (const MenuCommand absent : {MenuCommand::openSearch, MenuCommand::openStorageStatus, MenuCommand::openLogScreen,
                                     MenuCommand::openAbout})
        EXPECT_EQ(findAction(bar, absent), nullptr) << menuCommandName(absent).toStdString();
    EXPECT_EQ(findAction(bar, menuCommandName(MenuCommand::openAbout) + QStringLiteral(".usage")), nullptr);
    QAction* support = findAction(bar, QStringLiteral("supportPage"));
    ASSERT_NE(support, nullptr);
    const int postsBefore = posted.count();
    support->trigger();
    EXPECT_EQ(posted.count(), postsBefore);
    ASSERT_EQ(shell_.openedUrls.size(), 1u);
    QAction* preferences = findAction(bar, QStringLiteral("settings"));
    ASSERT_NE(preferences, nullptr);
    EXPECT_EQ(preferences->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    preferences->trigger();
    EXPECT_EQ(settings, 1);
    QAction* quit = findAction(bar, QStringLiteral("quit"));
    EXPECT_EQ(quit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->trigger();
    EXPECT_EQ(quits, 1);
    QMenuBar plain;
    populateMenuBar(&plain, window_->commands(), shell_, [] {});
    EXPECT_EQ(findAction(plain, QStringLiteral("settings")), nullptr);

    // With the window gone a command reaches nobody.
    closeWindow();
    MenuCommandCenter::shared().post(MenuCommand::openAddPanel);
    MenuCommandCenter::shared().post(MenuCommand::refreshAll);
    EXPECT_EQ(shell_.pickCount, 1);
    const int refreshes = cleared.count();
    for (const MenuCommand command : allMenuCommands)
        MenuCommandCenter::shared().post(command);
    QCoreApplication::processEvents();
    EXPECT_EQ(shell_.pickCount, 1);
    EXPECT_EQ(wizards, 1);
    EXPECT_EQ(cleared.count(), refreshes);
}

}  // namespace
}  // namespace kelvane::ui::test
