// SPDX-License-Identifier: MIT
#include "SheetsTestSupport.h"

#include "discovery/SecurityScopedBookmark.h"
#include "discovery/WizardPreset.h"
#include "operations/threads/MainThread.h"
#include "operations/sheets/WizardPresetScanModel.h"
#include "operations/sheets/WizardSheetModel.h"
#include "store/RegisteredItem.h"
#include "ui/sheets/WizardCandidatesTableModel.h"
#include "ui/sheets/WizardPresetDetailView.h"
#include "ui/sheets/WizardPresetRow.h"
#include "ui/sheets/WizardSheet.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QThreadPool>

#include <QScrollArea>
#include <QScrollBar>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <fstream>
#include <set>

namespace kelvane::ui::sheets::test {
namespace {

using operations::WizardSheetModel;
namespace fs = std::filesystem;

void writeFile(const fs::path& path, std::size_t size, std::chrono::hours age = std::chrono::hours(0))
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << std::string(size, 'a');
    if (age.count() > 0)
        fs::last_write_time(path, fs::file_time_type::clock::now() - age);
}

class WizardSheetTest : public HomeFixture {
protected:
    WizardSheet* openSheet()
    {
        window_ = std::make_unique<QWidget>();
        window_->show();
        auto* sheet = new WizardSheet(std::make_unique<WizardSheetModel>(container_->mainContext()), window_.get());
        sheet->open();
        return sheet;
    }
    static WizardPresetRow* row(WizardSheet* sheet, const std::string& id)
    {
        for (WizardPresetRow* row : sheet->rows())
            if (row->preset().id == id)
                return row;
        return nullptr;
    }
    // The detail page of the preset `id`, as its inspect button opens it.
    static WizardPresetDetailView* inspect(WizardSheet* sheet, const std::string& id)
    {
        QTest::mouseClick(button(row(sheet, id), "inspectButton"), Qt::LeftButton);
        return sheet->detail();
    }
    static QString sizeText(WizardPresetRow* row)
    {
        auto* label = child<QLabel>(row, "size");
        return label->isVisibleTo(row) ? label->text() : QString("<measuring>");
    }
    static QString toastText(WizardSheet* sheet)
    {
        auto* toast = child<QLabel>(sheet, "toast");
        return toast->isVisibleTo(sheet) ? toast->text() : QString();
    }
    // The symbol drawn beside the toast's text; empty when none is drawn.
    static QString toastSymbol(WizardSheet* sheet)
    {
        auto* symbol = child<QLabel>(sheet, "toastSymbol");
        if (!symbol->isVisibleTo(sheet) || symbol->pixmap().isNull())
            return {};
        return symbol->property("symbol").toString();
    }
    // Waits for every worker (also one whose result no longer counts) and
    // delivers what they posted.
    static void settleWorkers()
    {
        operations::workerPool().waitForDone(60000);
        QTest::qWait(20);
    }

    fs::path logs() const { return home_.path() / ".local/state"; }
    std::unique_ptr<QWidget> window_;
};

TEST_F(WizardSheetTest, PresentFoldersShowSizesAbsentOnesAreNotFound)
{
    // Counted: plain files at any depth and inside an archive bundle. Not
    // counted: hidden files, hidden folders, other packages.
    writeFile(logs() / "a.log", 1000);
    writeFile(logs() / "deep/er/b.txt", 500);
    writeFile(logs() / "Old.xcarchive/inner/c.bin", 25);
    writeFile(logs() / ".hidden.log", 7000);
    writeFile(logs() / ".cache/d.log", 9000);
    writeFile(logs() / "Tool.app/Contents/e.bin", 11000);
    fs::create_directories(home_.path() / "Downloads");
    // A plain file where a preset expects its folder.
    writeFile(home_.path() / ".cache", 10);

    WizardSheet* sheet = openSheet();
    ASSERT_TRUE(waitUntil([&] { return sheet->model().presetSizes().size() == 2; }));
    EXPECT_EQ(sheet->model().sizeOf("logs"), 1525);
    EXPECT_EQ(sizeText(row(sheet, "logs")), "2 KB");
    EXPECT_EQ(sizeText(row(sheet, "downloads")), "0 B");
    EXPECT_FALSE(showsLabel(row(sheet, "logs"), "未検出"));

    for (const char* id : {"caches", "deriveddata", "iphonebackup"}) {
        SCOPED_TRACE(id);
        WizardPresetRow* absent = row(sheet, id);
        EXPECT_TRUE(showsLabel(absent, "未検出"));
        // The badge says it; nothing else stands at the card's top right.
        EXPECT_FALSE(child<QLabel>(absent, "size")->isVisibleTo(absent));
        for (const QWidget* shown : absent->findChildren<QWidget*>())
            if (auto* label = qobject_cast<const QLabel*>(shown); label && label->isVisibleTo(absent)) {
                EXPECT_NE(label->text(), "—");
            }
        EXPECT_FALSE(button(absent, "inspectButton")->isEnabled());
        EXPECT_FALSE(button(absent, "registerAllButton")->isEnabled());
    }
    EXPECT_TRUE(showsLabel(row(sheet, "logs"), "想定削減 60–85%"));
    // The places are this desktop's, and the introduction says no other.
    EXPECT_TRUE(showsLabel(sheet, "容量を取りがちな場所をまとめました。\n"
                                  "再生成しやすい / 安全に圧縮できるパスから順に登録するのがおすすめです。"));
    EXPECT_TRUE(button(row(sheet, "logs"), "registerAllButton")->isEnabled());
    EXPECT_EQ(toastText(sheet), "");
}

TEST_F(WizardSheetTest, TheToastIsSeenWhereverTheListIsScrolledTo)
{
    fs::create_directories(discovery::WizardPreset::all().back().resolvedPath);
    WizardSheet* sheet = openSheet();
    sheet->resize(820, 540);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet));
    WizardPresetRow* last = sheet->rows().back();
    auto* scroll = sheet->findChild<QScrollArea*>();
    ASSERT_NE(scroll, nullptr);
    scroll->ensureWidgetVisible(last);
    ASSERT_GT(scroll->verticalScrollBar()->value(), 0) << "the list is longer than the sheet";
    QTest::mouseClick(button(last, "registerAllButton"), Qt::LeftButton);
    auto* toast = child<QLabel>(sheet, "toast");
    ASSERT_FALSE(toastText(sheet).isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(toast->visibleRegion().boundingRect(), toast->rect()) << "the whole toast is in view";
}

TEST_F(WizardSheetTest, RegisterAllTellsWhatHappened)
{
    fs::create_directories(logs());
    fs::create_directories(home_.path() / "Downloads");
    fs::create_directories(home_.path() / "Android/Sdk");
    registerItem(home_.path() / "Downloads", true);
    registerItem(home_.path() / "Android", true);

    WizardSheet* sheet = openSheet();
    QTest::mouseClick(button(row(sheet, "logs"), "registerAllButton"), Qt::LeftButton);
    EXPECT_EQ(toastText(sheet), "登録しました: ユーザー .local/state");
    EXPECT_EQ(toastSymbol(sheet), "checkmark.circle.fill");
    EXPECT_TRUE(showsLabel(row(sheet, "logs"), "登録済み"));
    EXPECT_FALSE(button(row(sheet, "logs"), "registerAllButton")->isEnabled());
    EXPECT_TRUE(button(row(sheet, "logs"), "inspectButton")->isEnabled());

    QTest::mouseClick(button(row(sheet, "downloads"), "registerAllButton"), Qt::LeftButton);
    EXPECT_EQ(toastText(sheet), "すでに登録済みです: ダウンロード");
    EXPECT_EQ(toastSymbol(sheet), "checkmark.circle.fill");
    EXPECT_TRUE(showsLabel(row(sheet, "downloads"), "登録済み"));

    QTest::mouseClick(button(row(sheet, "iphonebackup"), "registerAllButton"), Qt::LeftButton);
    EXPECT_EQ(toastText(sheet), "上位フォルダがすでに登録されています: Android SDK");
    EXPECT_FALSE(showsLabel(row(sheet, "iphonebackup"), "登録済み"));
    EXPECT_TRUE(button(row(sheet, "iphonebackup"), "registerAllButton")->isEnabled());

    // Only the logs folder was added.
    EXPECT_EQ(container_->mainContext().fetch<store::RegisteredItem>().size(), 3u);

    // A folder that went away after the list was drawn cannot be registered.
    fs::create_directories(home_.path() / ".local/share/Steam/steamapps/common");
    WizardSheet* again = openSheet();
    fs::remove(home_.path() / ".local/share/Steam/steamapps/common");
    QTest::mouseClick(button(row(again, "garageband"), "registerAllButton"), Qt::LeftButton);
    EXPECT_TRUE(toastText(again).startsWith("登録に失敗: ")) << toastText(again).toStdString();
    EXPECT_EQ(toastSymbol(again), "exclamationmark.triangle.fill");
    EXPECT_EQ(again->model().toast()->style, WizardSheetModel::Toast::Style::failure);
    EXPECT_FALSE(showsLabel(row(again, "garageband"), "登録済み"));
    EXPECT_EQ(container_->mainContext().fetch<store::RegisteredItem>().size(), 3u);
}

TEST_F(WizardSheetTest, DetailShowsAtMost200RowsAndRegistersFromThem)
{
    const auto old = std::chrono::hours(24 * 60);
    for (int index = 0; index < 350; ++index)
        writeFile(logs() / ("f" + std::to_string(index) + ".log"), 65536 + static_cast<std::size_t>(index), old);
    writeFile(logs() / "small.log", 65535, old);
    writeFile(logs() / "recent.log", 100000);
    writeFile(logs() / ".hidden.log", 100000, old);
    writeFile(logs() / "other.bin", 100000, old);

    WizardSheet* sheet = openSheet();
    WizardPresetDetailView* detail = inspect(sheet, "logs");
    ASSERT_NE(detail, nullptr);
    QAbstractItemModelTester tester(detail->candidatesModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_TRUE(waitUntil([&] { return !detail->model().isScanning() && !detail->model().candidates().empty(); }));

    EXPECT_EQ(detail->model().candidates().size(), 350u);
    EXPECT_EQ(detail->candidatesModel()->rowCount(), 200);
    EXPECT_TRUE(showsLabel(detail, "0 件 選択中 / 表示 200 件（最大 200）"));
    // Largest first: the shown rows are the 200 largest files.
    const QString first = detail->candidatesModel()->index(0, WizardCandidatesTableModel::name).data().toString();
    const QString last = detail->candidatesModel()->index(199, WizardCandidatesTableModel::name).data().toString();
    EXPECT_EQ(first, "f349.log");
    EXPECT_EQ(last, "f150.log");
    EXPECT_EQ(detail->candidatesModel()->index(0, WizardCandidatesTableModel::stars).data().toString(), "★★★★★");

    // Sorting by name puts f0.log first; a ticked row that the sort moves out
    // of sight stays ticked.
    detail->candidatesModel()->setData(detail->candidatesModel()->index(0, 0), Qt::Checked, Qt::CheckStateRole);
    EXPECT_TRUE(detail->table()->selectionModel()->isRowSelected(0, {}));
    detail->table()->sortByColumn(WizardCandidatesTableModel::name, Qt::AscendingOrder);
    EXPECT_EQ(detail->candidatesModel()->index(0, 0).data().toString(), "f0.log");
    EXPECT_TRUE(detail->model().selection().contains(logs() / "f349.log"));
    EXPECT_TRUE(showsLabel(detail, "1 件 選択中 / 表示 200 件（最大 200）"));

    QTest::mouseClick(button(detail, "selectAllButton"), Qt::LeftButton);
    EXPECT_TRUE(showsLabel(detail, "201 件 選択中 / 表示 200 件（最大 200）"));
    EXPECT_EQ(detail->table()->selectionModel()->selectedRows().size(), 200);
    // Return registers while something is selected.
    QTest::keyClick(detail->table(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return sheet->detail() == nullptr; }));
    EXPECT_EQ(toastText(sheet), "ユーザー .local/state から 201 件を登録しました");
    EXPECT_EQ(toastSymbol(sheet), "checkmark.circle.fill");
    EXPECT_EQ(container_->mainContext().fetch<store::RegisteredItem>().size(), 201u);
}

TEST_F(WizardSheetTest, AgeLimitAndPresetsWithoutExtensions)
{
    // Caches: no priority extensions, 14 days by default.
    const fs::path caches = home_.path() / ".cache";
    writeFile(caches / "old.bin", 70000, std::chrono::hours(24 * 20));
    writeFile(caches / "fresh.bin", 70000, std::chrono::hours(24 * 3));
    writeFile(caches / "picture.psd", 80000, std::chrono::hours(24 * 20));
    WizardSheet* sheet = openSheet();
    WizardPresetDetailView* detail = inspect(sheet, "caches");
    EXPECT_TRUE(showsLabel(detail, "拡張子フィルタなし（配下すべてを対象）"));
    EXPECT_EQ(child<QCheckBox>(detail, "extensionFilter"), nullptr);
    ASSERT_TRUE(waitUntil([&] { return !detail->model().isScanning(); }));
    EXPECT_EQ(detail->model().candidates().size(), 2u);
    EXPECT_EQ(detail->candidatesModel()->index(0, WizardCandidatesTableModel::stars).data().toString(), "★★★☆☆");

    // No limit takes the fresh file too; 30 days leaves out all three.
    auto* age = child<QComboBox>(detail, "minimumAge");
    age->setCurrentIndex(age->findText("制限なし"));
    emit age->activated(age->currentIndex());
    ASSERT_TRUE(waitUntil([&] { return !detail->model().isScanning(); }));
    EXPECT_EQ(detail->model().candidates().size(), 3u);
    age->setCurrentIndex(age->findText("30 日以上前"));
    emit age->activated(age->currentIndex());
    ASSERT_TRUE(waitUntil([&] { return !detail->model().isScanning(); }));
    EXPECT_TRUE(detail->model().candidates().empty());
    EXPECT_TRUE(showsLabel(detail, "該当するファイルがありません"));
    EXPECT_TRUE(showsLabel(detail, "64 KB 未満のファイルや既圧縮ファイルは除外されています。"));
}

TEST_F(WizardSheetTest, CandidatesThatMisleadAreShownAsTheyAreAndRegisteredAsTheyAre)
{
    const auto old = std::chrono::hours(24 * 60);
    writeFile(logs() / "sub\u202Egol" / "report\u202Egol.exe.log", 90000, old);
    writeFile(logs() / "two\nlines.log", 80000, old);
    writeFile(logs() / "bad\xfe.log", 70000, old);
    WizardSheet* sheet = openSheet();
    WizardPresetDetailView* detail = inspect(sheet, "logs");
    ASSERT_TRUE(waitUntil([&] { return !detail->model().isScanning() && detail->model().candidates().size() == 3; }));
    auto* candidates = detail->candidatesModel();
    QStringList names;
    for (int r = 0; r < candidates->rowCount(); ++r)
        names << candidates->index(r, WizardCandidatesTableModel::name).data().toString();
    EXPECT_EQ(names, QStringList({"report\\u202Egol.exe.log", "two\\nlines.log", "bad\\xFE.log"}));
    const QModelIndex location = candidates->index(0, WizardCandidatesTableModel::location);
    EXPECT_TRUE(location.data().toString().endsWith("sub\\u202Egol")) << location.data().toString().toStdString();
    EXPECT_FALSE(location.data(Qt::ToolTipRole).toString().contains(QChar(0x202E)));

    QTest::mouseClick(button(detail, "selectAllButton"), Qt::LeftButton);
    QTest::mouseClick(button(detail, "registerButton"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return sheet->detail() == nullptr; }));
    std::set<std::string> stored;
    for (const auto& item : container_->mainContext().fetch<store::RegisteredItem>())
        stored.insert(item->displayName());
    EXPECT_EQ(stored, (std::set<std::string>{"report\u202Egol.exe.log", "two\nlines.log", "bad\xfe.log"}));
}

TEST_F(WizardSheetTest, FailedRegistrationsAreNeverReportedAsSuccess)
{
    const auto old = std::chrono::hours(24 * 60);
    writeFile(logs() / "kept.log", 70000, old);
    writeFile(logs() / "gone.log", 80000, old);
    WizardSheet* sheet = openSheet();
    WizardPresetDetailView* detail = inspect(sheet, "logs");
    ASSERT_TRUE(waitUntil([&] { return !detail->model().isScanning() && detail->model().candidates().size() == 2; }));
    QTest::mouseClick(button(detail, "selectAllButton"), Qt::LeftButton);
    fs::remove(logs() / "gone.log");
    ASSERT_TRUE(button(detail, "registerButton")->isEnabled()) << detail->model().selection().size();
    QTest::mouseClick(button(detail, "registerButton"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return sheet->detail() == nullptr; })) << toastText(sheet).toStdString();
    EXPECT_TRUE(toastText(sheet).startsWith("ユーザー .local/state から 1 件を登録しました。登録に失敗: ")) << toastText(sheet).toStdString();
    EXPECT_EQ(toastSymbol(sheet), "exclamationmark.triangle.fill");
    EXPECT_EQ(sheet->model().toast()->style, WizardSheetModel::Toast::Style::failure);
}

TEST_F(WizardSheetTest, FolderGoneBeforeARescanEndsTheScanWithTheError)
{
    const auto old = std::chrono::hours(24 * 60);
    for (int index = 0; index < 3000; ++index)
        writeFile(logs() / ("d" + std::to_string(index % 30)) / ("f" + std::to_string(index) + ".log"), 10, old);
    writeFile(logs() / "big.log", 70000, old);

    WizardSheet* sheet = openSheet();
    WizardPresetDetailView* detail = inspect(sheet, "logs");
    // The first scan may still be running when the folder goes.
    fs::remove_all(logs());
    QTest::mouseClick(child<QCheckBox>(detail, "extensionFilter"), Qt::LeftButton);
    EXPECT_FALSE(detail->model().useExtensionFilter());
    settleWorkers();

    EXPECT_FALSE(detail->model().isScanning());
    EXPECT_TRUE(showsLabel(detail, "⚠ 対象フォルダが見つかりません: ~/.local/state"));
    EXPECT_TRUE(detail->model().candidates().empty());
    EXPECT_EQ(detail->candidatesModel()->rowCount(), 0);
    EXPECT_FALSE(button(detail, "rescanButton")->isEnabled());
    EXPECT_EQ(button(detail, "stopButton"), nullptr);
}

TEST_F(WizardSheetTest, ARestartDropsWhatTheOlderScanStillReports)
{
    const auto old = std::chrono::hours(24 * 60);
    for (int index = 0; index < 400; ++index)
        writeFile(logs() / ("f" + std::to_string(index) + ".log"), 70000, old);
    writeFile(logs() / "other.bin", 70000, old);

    WizardSheet* sheet = openSheet();
    WizardPresetDetailView* detail = inspect(sheet, "logs");
    // Restart at once, twice; only the last scan's matches may count.
    detail->model().startScan();
    QTest::mouseClick(child<QCheckBox>(detail, "extensionFilter"), Qt::LeftButton);
    settleWorkers();
    ASSERT_TRUE(waitUntil([&] { return !detail->model().isScanning(); }));
    EXPECT_EQ(detail->model().candidates().size(), 401u);
}

// A search that finds faster than the page draws: what the page has not taken
// yet reaches it in a few batches, rows are added to the table (never reset),
// and the list comes out sorted.
TEST_F(WizardSheetTest, ManyMatchesArriveInBatchesAndAreAppendedNotReset)
{
    const fs::path folder = home_.path() / "many";
    for (int index = 0; index < 1500; ++index) {
        // Sizes with ties, so a merge that is not stable shows.
        const fs::path file = folder / ("f" + std::to_string(index) + ".log");
        fs::create_directories(folder);
        std::ofstream(file, std::ios::binary).close();
        fs::resize_file(file, 65536 + static_cast<std::uintmax_t>(index % 7) * 1000);
    }
    discovery::WizardPreset preset;
    preset.id = "many";
    preset.title = "多数";
    preset.resolvedPath = folder;
    WizardPresetDetailView page(
        std::make_unique<operations::WizardPresetScanModel>(preset, container_->mainContext(), [](const auto&) {}),
        nullptr);
    QAbstractItemModelTester tester(page.candidatesModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy resets(page.candidatesModel(), &QAbstractItemModel::modelReset);
    QSignalSpy changes(&page.model(), &operations::WizardPresetScanModel::candidatesChanged);

    page.show();
    ASSERT_TRUE(page.model().isScanning());
    // Every match is found before the page takes any of them.
    operations::workerPool().waitForDone(60000);
    ASSERT_TRUE(waitUntil([&] { return !page.model().isScanning(); }));

    EXPECT_EQ(page.model().candidates().size(), 1500u);
    EXPECT_EQ(resets.count(), 0);
    // A hand-over takes up to 2,000 matches: one, plus the start and the end.
    EXPECT_LE(changes.count(), 4);
    const auto& found = page.model().candidates();
    EXPECT_TRUE(std::is_sorted(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.size > b.size; }));
    ASSERT_EQ(page.candidatesModel()->rowCount(), 200);
    for (int row = 0; row < 200; ++row)
        ASSERT_EQ(page.candidatesModel()->rows()[static_cast<std::size_t>(row)], found[static_cast<std::size_t>(row)]);
    EXPECT_TRUE(showsLabel(&page, "0 件 選択中 / 表示 200 件（最大 200）"));

    // Another order changes the rows in place.
    page.model().setSortOrder({{operations::WizardCandidate::Key::name,
                                operations::SortKey<operations::WizardCandidate::Key>::Order::forward}});
    EXPECT_EQ(page.candidatesModel()->index(0, 0).data().toString(), "f0.log");
    EXPECT_EQ(resets.count(), 0);
}

// Minimising and restoring the window leaves the page as it was; leaving the
// page (here: closing its window) stops the scan.
// Keeps every worker of the pool busy until released, so that work started
// meanwhile is sure to be still waiting: a test can look at "under way"
// without racing the work.
class WorkerPoolHold {
public:
    WorkerPoolHold()
    {
        QThreadPool& pool = operations::workerPool();
        const int workers = pool.maxThreadCount();
        for (int i = 0; i < workers; ++i)
            pool.start([this] {
                ++running_;
                {
                    std::unique_lock lock(mutex_);
                    releasedChanged_.wait(lock, [this] { return released_; });
                }
                --running_;  // the last touch of the hold: it may be gone right after
            });
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (running_ < workers && std::chrono::steady_clock::now() < until)
            std::this_thread::yield();
        holding_ = running_ == workers;
    }
    ~WorkerPoolHold()
    {
        release();
        while (running_ > 0)
            std::this_thread::yield();
    }
    bool holding() const { return holding_; }
    void release()
    {
        {
            const std::lock_guard lock(mutex_);
            released_ = true;
        }
        releasedChanged_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable releasedChanged_;
    bool released_ = false;
    bool holding_ = false;
    std::atomic<int> running_ = 0;
};

TEST_F(WizardSheetTest, MinimisingTheWindowNeitherStopsNorRestartsTheScan)
{
    const fs::path folder = home_.path() / "kept";
    for (int index = 0; index < 5; ++index)
        writeFile(folder / ("f" + std::to_string(index) + ".log"), 70000);
    discovery::WizardPreset preset;
    preset.id = "kept";
    preset.title = "保持";
    preset.resolvedPath = folder;
    QWidget window;
    auto* page = new WizardPresetDetailView(
        std::make_unique<operations::WizardPresetScanModel>(preset, container_->mainContext(), [](const auto&) {}),
        &window);
    window.show();
    ASSERT_TRUE(waitUntil([&] { return !page->model().isScanning(); }));
    QTest::mouseClick(button(page, "selectAllButton"), Qt::LeftButton);
    ASSERT_EQ(page->model().selection().size(), 5u);

    bool hidden = false;
    page->installEventFilter(new EventWatch(page, QEvent::Hide, hidden));
    minimiseAndRestore(&window);
    ASSERT_TRUE(hidden);
    EXPECT_FALSE(page->model().isScanning());
    EXPECT_EQ(page->model().selection().size(), 5u);
    EXPECT_EQ(page->model().candidates().size(), 5u);

    // A scan under way goes on through a minimise and finds every file; the
    // workers are held busy, so it is surely still under way when the window
    // comes back.
    {
        WorkerPoolHold hold;
        ASSERT_TRUE(hold.holding());
        page->model().startScan();
        minimiseAndRestore(&window);
        EXPECT_TRUE(page->model().isScanning());
    }
    ASSERT_TRUE(waitUntil([&] { return !page->model().isScanning(); }));
    EXPECT_FALSE(page->model().scanError().has_value());
    EXPECT_EQ(page->model().candidates().size(), 5u);

    // Closing stops a scan.
    page->model().startScan();
    window.close();
    ASSERT_TRUE(waitUntil([&] { return !page->model().isScanning(); }));
}

}  // namespace
}  // namespace kelvane::ui::sheets::test
