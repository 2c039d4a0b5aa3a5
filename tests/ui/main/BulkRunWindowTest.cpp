// SPDX-License-Identifier: MIT
#include "MainWindowTestSupport.h"
#include "QStringPrinting.h"

#include "display/Formatters.h"
#include "engine/FileCompressionInspector.h"
#include "engine/FileCompressor.h"
#include "operations/bulk/BulkOperationRunner.h"
#include "operations/GeneratedFiles.h"
#include "operations/bulk/OperationProgress.h"
#include "platform/FileHandle.h"
#include "store/CompressionLog.h"
#include "ui/main/ActionCell.h"
#include "ui/main/BottomActionBar.h"
#include "ui/main/BulkRunControls.h"
#include "ui/sheets/OperationProgressSheet.h"
#include "ui/sheets/ProgressTexts.h"

#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <map>
#include <random>
#include <regex>

namespace kelvane::ui::test {
namespace {

using operations::ActiveOperation;
using operations::DisplayRow;
using operations::OperationProgress;
using Bytes = std::vector<std::uint8_t>;

class BulkRunWindowTest : public MainWindowFixture {
protected:
    void TearDown() override
    {
        for (int fd : locks_)
            ::close(fd);
        MainWindowFixture::TearDown();
    }

    // Text that compresses well, of varied sizes, remembered for reading back.
    fs::path writeText(const fs::path& path, std::size_t size)
    {
        fs::create_directories(path.parent_path());
        Bytes bytes = operations::test::textBytes(rng_, size);
        kelvane::test::writeRawFile(path, bytes);
        originals_[path] = std::move(bytes);
        return path;
    }
    fs::path writeSparse(const fs::path& path, std::uint64_t size)
    {
        fs::create_directories(path.parent_path());
        { std::ofstream create(path); }
        fs::resize_file(path, size);
        return path;
    }
    // Holds an exclusive lock on the file until the test ends.
    void lock(const fs::path& path)
    {
        const int fd = ::open(path.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        locks_.push_back(fd);
    }

    void openWide()
    {
        MainWindowHooks hooks;
        hooks.openLogScreen = [this] { ++historyOpened_; };
        openWindow(std::move(hooks));
        window_->resize(1700, 800);
    }

    BulkRunControls& runs() const { return window_->bulkRuns(); }
    BottomActionBar& bar() const { return *runs().bar(); }

    std::vector<QString> buttonTitles(const std::string& name) const
    {
        std::vector<QString> titles;
        for (const ActionButton& b : ActionCellDelegate::buttonsAt(rowNamed(name, MainColumn::action)))
            titles.push_back(b.title);
        return titles;
    }
    bool offers(const std::string& name, std::vector<QString> titles) const { return buttonTitles(name) == titles; }

    // Clicks the row's operation button with this title, as a user would.
    void clickAction(const std::string& name, const QString& title)
    {
        const QModelIndex index = rowNamed(name, MainColumn::action);
        ASSERT_TRUE(index.isValid());
        if (index.parent().isValid())
            window_->table()->expand(index.parent().siblingAtColumn(0));
        window_->table()->scrollTo(index);
        const auto buttons = ActionCellDelegate::buttonsAt(index);
        const auto rects = ActionCell::buttonRects(window_->table()->visualRect(index), buttons, window_->table()->font());
        for (std::size_t i = 0; i < buttons.size(); ++i)
            if (buttons[i].title == title) {
                QTest::mouseClick(window_->table()->viewport(), Qt::LeftButton, {}, rects[i].center());
                return;
            }
        FAIL() << "no button " << title.toStdString();
    }

    void selectRow(const std::string& name)
    {
        const QModelIndex index = rowNamed(name);
        ASSERT_TRUE(index.isValid());
        window_->table()->selectIds({rows().row(index)->id});
    }

    OperationProgressSheet* sheet() const { return runs().progressSheet(); }
    QString sheetText(const char* name) const
    {
        if (!sheet())
            return QStringLiteral("<no sheet>");
        auto* l = sheet()->findChild<QLabel*>(QString::fromLatin1(name));
        return l ? l->text() : QStringLiteral("<none>");
    }
    bool sheetShows(const char* name) const
    {
        if (!sheet())
            return false;
        auto* w = sheet()->findChild<QWidget*>(QString::fromLatin1(name));
        return w && w->isVisibleTo(sheet());
    }

    static bool compressedOnDisk(const fs::path& path)
    {
        return engine::FileCompressionInspector{}.inspect(path).status.kind() ==
               engine::FileCompressionStatus::Kind::compressed;
    }
    void expectReadsBack(const fs::path& path)
    {
        Bytes back;
        ASSERT_EQ(platform::readWholeFile(path, back), 0) << path;
        EXPECT_TRUE(back == originals_.at(path)) << path;
    }
    std::size_t storedLogs()
    {
        return container_->makeContext()->fetch(store::FetchDescriptor<store::CompressionLog>()).size();
    }

    std::mt19937 rng_{2026};
    std::map<fs::path, Bytes> originals_;
    std::vector<int> locks_;
    int historyOpened_ = 0;
};

TEST_F(BulkRunWindowTest, TwelveFilesFromTheBarShowLiveProgressThenTheSummaryAndReadBack)
{
    const fs::path folder = home_ / "Docs";
    std::vector<fs::path> files;
    for (int i = 0; i < 12; ++i)  // sizes spread, so the files end one after another
        files.push_back(writeText(folder / ("n" + std::to_string(i) + ".txt"), 200000 + 350000 * i));
    registerItem(folder, true);
    openWide();
    ASSERT_TRUE(waitFor([&] { return offers("Docs", {QStringLiteral("圧縮 12")}); }));
    EXPECT_TRUE(offers("n3.txt", {QStringLiteral("圧縮")}));

    // Nothing selected: the hint, and no bulk action.
    EXPECT_TRUE(bar().findChild<QLabel*>(QStringLiteral("selectionHint"))->isVisibleTo(&bar()));
    EXPECT_FALSE(bar().compressButton()->isEnabled());
    EXPECT_FALSE(bar().clearButton()->isEnabled());
    selectRow("Docs");
    ASSERT_TRUE(waitFor([&] { return bar().compressButton()->text() == QStringLiteral("一括圧縮 (12)"); }));
    EXPECT_TRUE(bar().compressButton()->isEnabled());
    EXPECT_EQ(bar().findChild<QLabel*>(QStringLiteral("selectionCount"))->text(), QStringLiteral("選択中: 1 件"));
    EXPECT_EQ(bar().decompressButton()->text(), QStringLiteral("一括圧縮解除 (0)"));
    EXPECT_FALSE(bar().decompressButton()->isEnabled());

    QTest::mouseClick(bar().compressButton(), Qt::LeftButton);
    ASSERT_NE(sheet(), nullptr);
    EXPECT_EQ(window_->sheets().current(), sheet());
    const auto progress = sheet()->progress();
    EXPECT_EQ(sheetText("title"), QStringLiteral("圧縮中…（0 / 12）"));
    EXPECT_TRUE(sheetShows("progressBar"));
    EXPECT_TRUE(sheetShows("safetyNotes"));
    EXPECT_FALSE(sheetShows("spinner"));
    EXPECT_EQ(sheetText("remaining"), QStringLiteral("計測中…"));
    EXPECT_EQ(sheetText("concurrency"), QStringLiteral("8"));

    // Live: the sheet shows files done while the run still works, and its
    // counts always follow the run's. Its clock moves on 300 ms at each
    // reading, so it never holds back a change for the next redraw.
    auto readings = std::make_shared<std::int64_t>(0);
    sheet()->setMonotonicClock([readings] { return std::chrono::milliseconds(300 * ++*readings); });
    bool sawMidway = false;
    ASSERT_TRUE(waitFor([&] {
        if (!progress->isFinished()) {
            const int shown = sheetText("progressCounts").section(' ', 0, 0).toInt();
            sawMidway = sawMidway || (shown >= 1 && shown < 12);
        }
        return progress->isFinished();
    }));
    EXPECT_TRUE(sawMidway);

    // Twelve files stay up as a summary.
    ASSERT_TRUE(waitFor([&] { return sheetText("title") == QStringLiteral("圧縮完了"); }));
    EXPECT_EQ(sheetText("counts"), QStringLiteral("成功 12 件"));
    EXPECT_EQ(sheet()->findChild<QLabel*>(QStringLiteral("statusSymbol"))->property("symbol").toString(), QStringLiteral("checkmark.circle.fill"));
    EXPECT_TRUE(sheetShows("resultCard"));
    EXPECT_EQ(sheetText("savedBytes"), display::formatBytes(progress->bytesSavedSoFar()));
    EXPECT_EQ(sheetText("praise"), ProgressTexts::savingsMessage(progress->bytesSavedSoFar()));
    EXPECT_FALSE(sheetShows("progressBar"));
    EXPECT_FALSE(sheetShows("safetyNotes"));
    EXPECT_EQ(sheetText("remaining"), QStringLiteral("計測中…"));
    EXPECT_EQ(storedLogs(), 12u);

    // Escape closes the summary, as Return does.
    QTest::keyClick(sheet(), Qt::Key_Escape);
    EXPECT_EQ(model_->operationProgress(), nullptr);
    EXPECT_TRUE(waitFor([&] { return sheet() == nullptr && window_->sheets().current() == nullptr; }));
    EXPECT_EQ(historyOpened_, 0);

    // The rows now offer to decompress, and the bar follows.
    ASSERT_TRUE(waitFor([&] { return offers("Docs", {QStringLiteral("解除 12")}); }));
    for (int i = 0; i < 12; ++i)
        EXPECT_TRUE(offers("n" + std::to_string(i) + ".txt", {QStringLiteral("解除")})) << i;
    ASSERT_TRUE(waitFor([&] { return bar().decompressButton()->text() == QStringLiteral("一括圧縮解除 (12)"); }));
    EXPECT_FALSE(bar().compressButton()->isEnabled());
    for (const fs::path& file : files) {
        EXPECT_TRUE(compressedOnDisk(file)) << file;
        expectReadsBack(file);
    }
}

// Names that would pass for other names: each cell shows what is really
// there, and the run works on the real files.
TEST_F(BulkRunWindowTest, NamesThatMisleadAreShownAsTheyAreAndTheRunTakesTheRealFiles)
{
    const fs::path folder = home_ / "Odd";
    const std::vector<std::pair<std::string, QString>> names{
        {"abc\u202Etxt.exe", QStringLiteral("abc\\u202Etxt.exe")},
        {"line\nbreak.txt", QStringLiteral("line\\nbreak.txt")},
        {"tab\tname.txt", QStringLiteral("tab\\tname.txt")},
        {"zero\u200Bwidth.txt", QStringLiteral("zero\\u200Bwidth.txt")},
        {"bad\xff\xfe.txt", QStringLiteral("bad\\xFF\\xFE.txt")},
    };
    for (const auto& [name, shown] : names)
        writeText(folder / name, 20000);
    registerItem(folder, true);
    const fs::path gone = writeText(home_ / "gone\u202Efdp.exe", 20000);
    registerItem(gone, false);
    openWide();
    ASSERT_TRUE(waitFor([&] { return offers("Odd", {QStringLiteral("圧縮 5")}); }));
    window_->table()->expand(rowNamed("Odd"));
    for (const auto& [name, shown] : names) {
        EXPECT_EQ(cellText(name, MainColumn::name), shown);
        EXPECT_EQ(cellText(name, MainColumn::path), cellText("Odd", MainColumn::path) + "/Odd");
    }

    clickAction("Odd", QStringLiteral("圧縮 5"));
    ASSERT_TRUE(waitFor([&] { return offers("Odd", {QStringLiteral("解除 5")}); }));
    for (const auto& [name, shown] : names) {
        EXPECT_TRUE(compressedOnDisk(folder / name)) << name;
        expectReadsBack(folder / name);
    }
    EXPECT_EQ(storedLogs(), names.size());

    // A registered file gone from under such a name is named as it was.
    const std::string goneName = gone.filename().string();
    EXPECT_EQ(cellText(goneName, MainColumn::name), QStringLiteral("gone\\u202Efdp.exe"));
    fs::remove(gone);
    window_->refreshAll();
    ASSERT_TRUE(waitFor([&] { return cellText(goneName, MainColumn::status) == QStringLiteral("⚠ 見つからない"); }))
        << cellText(goneName, MainColumn::status).toStdString();
    window_->showStatusDetail(rows().row(rowNamed(goneName))->id);
    ASSERT_TRUE(waitFor([&] { return window_->popover() != nullptr; }));
    const QString explanation = window_->popover()->findChild<QLabel*>(QStringLiteral("explanation"))->text();
    EXPECT_TRUE(explanation.contains(QStringLiteral("/gone\\u202Efdp.exe\n"))) << explanation.toStdString();
    EXPECT_FALSE(explanation.contains(QChar(0x202E)));
}

// Files replaced on disk after the window's first inspection read them and
// before it ended: a folder's action acts on what the status cache holds when
// it is pressed, and every file whose real state no longer fits the run
// (plain when decompressing, compressed when compressing) is counted as
// skipped, never as done; its bytes stay as they are.
TEST_F(BulkRunWindowTest, FilesReplacedBeforeTheFirstInspectionEndsAreSkippedNotDone)
{
    const engine::FileCompressor compressor;
    const auto compress = [&](const fs::path& path) { compressor.compressFile(path, operations::BulkOperationRunner::streamingThreshold); };
    // "Packed": compressed when read, plain afterwards; "Loose": the other way.
    const fs::path packed = home_ / "Packed";
    const fs::path loose = home_ / "Loose";
    std::vector<fs::path> packedFiles;
    std::vector<fs::path> looseFiles;
    for (int i = 0; i < 12; ++i) {
        packedFiles.push_back(writeText(packed / ("p" + std::to_string(i) + ".txt"), 60000));
        compress(packedFiles.back());
        looseFiles.push_back(writeText(loose / ("l" + std::to_string(i) + ".txt"), 60000));
    }
    registerItem(packed, true);
    registerItem(loose, true);
    std::vector<operations::RowId> ids;
    for (const auto& [folder, files] : {std::pair{packed, packedFiles}, std::pair{loose, looseFiles}})
        for (const fs::path& file : files)
            ids.push_back(operations::RowId::child(storedItem(folder.filename().string())->id(), file));

    // The moment the last of the inspection's results reaches the cache (its
    // worker waits for the cache to take them), every file is replaced.
    bool replaced = false;
    QObject::connect(cache_.get(), &operations::FileStatusCache::versionChanged, cache_.get(), [&] {
        if (replaced)
            return;
        for (const operations::RowId& id : ids)
            if (!cache_->entry(id).info())
                return;
        for (const fs::path& file : packedFiles) {
            const fs::path fresh = file.string() + ".new";
            kelvane::test::writeRawFile(fresh, originals_.at(file));
            fs::rename(fresh, file);
        }
        for (const fs::path& file : looseFiles) {
            const fs::path fresh = file.string() + ".new";
            kelvane::test::writeRawFile(fresh, originals_.at(file));
            compress(fresh);
            fs::rename(fresh, file);
        }
        replaced = true;
    });
    openWide();
    ASSERT_TRUE(waitFor([&] { return replaced; }));
    ASSERT_TRUE(waitFor([&] { return offers("Packed", {QStringLiteral("解除 12")}) && offers("Loose", {QStringLiteral("圧縮 12")}); }))
        << buttonTitles("Packed").size() << " " << buttonTitles("Loose").size();

    const auto runAndCheck = [&](const std::string& folder, const QString& button, const QString& title) {
        clickAction(folder, button);
        const auto progress = model_->operationProgress();
        ASSERT_NE(progress, nullptr);
        EXPECT_EQ(progress->total(), 12);
        ASSERT_TRUE(waitFor([&] { return progress->isFinished(); }));
        EXPECT_EQ(progress->succeededCount(), 0);
        EXPECT_EQ(progress->skippedCount(), 12);
        EXPECT_TRUE(progress->failures().empty());
        ASSERT_TRUE(waitFor([&] { return sheetText("title") == title; })) << sheetText("title").toStdString();
        EXPECT_EQ(sheetText("counts"), QStringLiteral("成功 0 件 · スキップ 12"));
        ASSERT_NE(sheet(), nullptr);
        QTest::mouseClick(buttonNamed(sheet(), "closeButton"), Qt::LeftButton);
        ASSERT_TRUE(waitFor([&] { return model_->operationProgress() == nullptr; }));
    };
    runAndCheck("Packed", QStringLiteral("解除 12"), QStringLiteral("解除完了"));
    runAndCheck("Loose", QStringLiteral("圧縮 12"), QStringLiteral("圧縮完了"));
    for (const fs::path& file : packedFiles) {
        EXPECT_FALSE(compressedOnDisk(file)) << file;
        expectReadsBack(file);
    }
    for (const fs::path& file : looseFiles) {
        EXPECT_TRUE(compressedOnDisk(file)) << file;
        expectReadsBack(file);
    }
    // The re-inspection after each run has put the real states in the cache.
    ASSERT_TRUE(waitFor([&] { return offers("Packed", {QStringLiteral("圧縮 12")}) && offers("Loose", {QStringLiteral("解除 12")}); }));
}

TEST_F(BulkRunWindowTest, ASmallCleanRunFromTheRowButtonClosesItsSheetByItself)
{
    const fs::path folder = home_ / "Few";
    for (int i = 0; i < 3; ++i)
        writeText(folder / ("f" + std::to_string(i) + ".txt"), 60000);
    registerItem(folder, true);
    openWide();
    ASSERT_TRUE(waitFor([&] { return offers("Few", {QStringLiteral("圧縮 3")}); }));

    QSignalSpy shown(model_.get(), &operations::MainWindowModel::operationProgressChanged);
    clickAction("Few", QStringLiteral("圧縮 3"));
    ASSERT_GE(shown.count(), 1);
    ASSERT_TRUE(waitFor([&] { return model_->operationProgress() == nullptr && sheet() == nullptr; }));
    EXPECT_EQ(window_->sheets().current(), nullptr);
    for (const auto& [path, bytes] : originals_) {
        EXPECT_TRUE(compressedOnDisk(path)) << path;
        expectReadsBack(path);
    }
    ASSERT_TRUE(waitFor([&] { return offers("Few", {QStringLiteral("解除 3")}); }));

    // A compressed file's own button takes it back.
    const fs::path one = folder / "f1.txt";
    clickAction("f1.txt", QStringLiteral("解除"));
    ASSERT_TRUE(waitFor([&] { return model_->operationProgress() == nullptr && !compressedOnDisk(one); }));
    EXPECT_TRUE(kelvane::test::readRawFile(one) == originals_.at(one));
}

TEST_F(BulkRunWindowTest, EscapeCancelsALongRunAndTheSummaryCountsWhatWasReallyDone)
{
    const fs::path folder = home_ / "Many";
    for (int i = 0; i < 200; ++i)
        writeText(folder / ("m" + std::to_string(i) + ".txt"), operations::test::between(rng_, 100000, 250000));
    registerItem(folder, true);
    openWide();
    ASSERT_TRUE(waitFor([&] { return offers("Many", {QStringLiteral("圧縮 200")}); }, 120s));
    selectRow("Many");
    ASSERT_TRUE(waitFor([&] { return bar().compressButton()->isEnabled(); }));
    QTest::mouseClick(bar().compressButton(), Qt::LeftButton);
    ASSERT_NE(sheet(), nullptr);
    const auto progress = sheet()->progress();

    ASSERT_TRUE(waitFor([&] { return progress->current() >= 5 || progress->isFinished(); }));
    ASSERT_FALSE(progress->isFinished()) << "the run ended before it could be cancelled";
    QTest::keyClick(sheet(), Qt::Key_Escape);
    EXPECT_TRUE(progress->wasCancelled());
    EXPECT_NE(sheet(), nullptr);  // the sheet stays up
    ASSERT_TRUE(waitFor([&] { return progress->isFinished(); }));
    ASSERT_TRUE(waitFor([&] { return sheetText("title") == QStringLiteral("圧縮を中断しました"); }));

    std::size_t compressed = 0;
    for (const auto& [path, bytes] : originals_) {
        if (compressedOnDisk(path))
            ++compressed;
        else
            EXPECT_TRUE(kelvane::test::readRawFile(path) == bytes) << path;  // untouched
        expectReadsBack(path);
    }
    EXPECT_GE(compressed, 5u);
    EXPECT_LT(compressed, 200u);
    EXPECT_EQ(sheetText("counts"), QStringLiteral("成功 %1 件").arg(compressed));
    EXPECT_EQ(sheet()->findChild<QLabel*>(QStringLiteral("statusSymbol"))->property("symbol").toString(), QStringLiteral("pause.circle.fill"));
    EXPECT_FALSE(sheetShows("praise"));
    EXPECT_EQ(storedLogs(), compressed);

    // Finished: the history button leaves for the history.
    QTest::mouseClick(buttonNamed(sheet(), "historyButton"), Qt::LeftButton);
    EXPECT_EQ(historyOpened_, 1);
    EXPECT_EQ(model_->operationProgress(), nullptr);
    EXPECT_TRUE(waitFor([&] { return sheet() == nullptr; }));
}

TEST_F(BulkRunWindowTest, ALockedFileIsSkippedAndAFileOverTwoGigabytesSetAsideEachCountedOnce)
{
    const fs::path folder = home_ / "Mixed";
    for (int i = 0; i < 11; ++i)
        writeText(folder / ("t" + std::to_string(i) + ".txt"), 50000 + 1000 * i);
    const fs::path locked = writeText(folder / "locked.txt", 80000);
    const fs::path huge = writeSparse(folder / "huge.bin", 2147483648ULL);
    lock(locked);
    registerItem(folder, true);
    openWide();
    ASSERT_TRUE(waitFor([&] { return offers("Mixed", {QStringLiteral("圧縮 12")}); }));

    // The bar warns about the file it leaves out.
    selectRow("Mixed");
    ASSERT_TRUE(waitFor([&] { return bar().compressButton()->text() == QStringLiteral("一括圧縮 (12)"); }));
    EXPECT_EQ(bar().findChild<QLabel*>(QStringLiteral("oversizedCount"))->text(), QStringLiteral("2 GB 超 1 件"));
    EXPECT_TRUE(bar().findChild<QLabel*>(QStringLiteral("oversizedCount"))->isVisibleTo(&bar()));

    // The folder's own button takes every uncompressed file: above 10^9 bytes, so asked first.
    clickAction("Mixed", QStringLiteral("圧縮 12"));
    ASSERT_NE(runs().largeOperationAlert(), nullptr);
    QTest::mouseClick(buttonNamed(runs().largeOperationAlert(), "continue"), Qt::LeftButton);
    ASSERT_NE(sheet(), nullptr);
    const auto progress = sheet()->progress();
    EXPECT_TRUE(sheetShows("oversizeNotice"));  // already while running
    ASSERT_TRUE(waitFor([&] { return progress->isFinished(); }));
    ASSERT_TRUE(waitFor([&] { return sheetText("title") == QStringLiteral("圧縮完了"); }));

    EXPECT_EQ(sheetText("counts"), QStringLiteral("成功 11 件 · スキップ 1 · 2 GB 超 1"));
    EXPECT_EQ(sheetText("oversizeHeadline"), QStringLiteral("1 件のファイルが 2 GB を超えるためスキップしました"));
    EXPECT_EQ(sheetText("oversizeTotal"), QStringLiteral("対象合計サイズ: ") + display::formatBytes(2147483648LL));
    EXPECT_TRUE(sheetShows("oversizeNotice"));
    EXPECT_TRUE(sheetShows("resultCard"));
    EXPECT_EQ(progress->total(), 12);
    EXPECT_EQ(progress->succeededCount() + progress->skippedCount(), progress->total());
    EXPECT_EQ(progress->sizeSkippedCount(), 1);
    EXPECT_EQ(storedLogs(), 11u);

    EXPECT_FALSE(compressedOnDisk(locked));
    EXPECT_TRUE(kelvane::test::readRawFile(locked) == originals_.at(locked));
    EXPECT_EQ(fs::file_size(huge), 2147483648ULL);
    EXPECT_FALSE(compressedOnDisk(huge));
    for (int i = 0; i < 11; ++i) {
        const fs::path file = folder / ("t" + std::to_string(i) + ".txt");
        EXPECT_TRUE(compressedOnDisk(file)) << file;
        expectReadsBack(file);
    }
}

TEST_F(BulkRunWindowTest, ARunOverAGigabyteWaitsForTheUsersConfirmation)
{
    const fs::path folder = home_ / "Large";
    const fs::path a = writeSparse(folder / "a.img", 600000000);
    const fs::path b = writeSparse(folder / "b.img", 600000000);
    lock(a);  // so that the run, once confirmed, ends quickly
    lock(b);
    registerItem(folder, true);
    openWide();
    ASSERT_TRUE(waitFor([&] { return offers("Large", {QStringLiteral("圧縮 2")}); }));
    selectRow("Large");
    ASSERT_TRUE(waitFor([&] { return bar().compressButton()->isEnabled(); }));

    const auto ask = [&] {
        QTest::mouseClick(bar().compressButton(), Qt::LeftButton);
        return runs().largeOperationAlert();
    };
    QMessageBox* alert = ask();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->windowTitle(), QStringLiteral("大きいファイルの処理"));
    EXPECT_EQ(alert->informativeText(),
              QStringLiteral("2 件、合計 ") + display::formatBytes(1200000000) +
                  QStringLiteral(" を圧縮します。\n\n合計サイズが 1 GB を超える大規模な操作のため、念のため確認しています。"
                                 "完了まで数分〜十数分かかる場合があります。途中でキャンセルしても、ここまでに"
                                 "圧縮済みのファイルはそのまま残ります。"));
    EXPECT_EQ(model_->operationProgress(), nullptr);

    QTest::keyClick(alert, Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return runs().largeOperationAlert() == nullptr; }));
    EXPECT_FALSE(model_->pendingLargeOp());
    EXPECT_EQ(model_->operationProgress(), nullptr);

    alert = ask();
    ASSERT_NE(alert, nullptr);
    QTest::mouseClick(buttonNamed(alert, "cancel"), Qt::LeftButton);
    EXPECT_TRUE(waitFor([&] { return runs().largeOperationAlert() == nullptr; }));
    EXPECT_FALSE(model_->pendingLargeOp());
    EXPECT_EQ(model_->operationProgress(), nullptr);
    EXPECT_EQ(sheet(), nullptr);

    alert = ask();
    ASSERT_NE(alert, nullptr);
    QTest::mouseClick(buttonNamed(alert, "continue"), Qt::LeftButton);
    ASSERT_NE(model_->operationProgress(), nullptr);
    const auto progress = model_->operationProgress();
    EXPECT_EQ(progress->total(), 2);
    ASSERT_TRUE(waitFor([&] { return progress->isFinished(); }));
    EXPECT_EQ(progress->skippedCount(), 2);
    EXPECT_EQ(fs::file_size(a), 600000000u);
    EXPECT_EQ(fs::file_size(b), 600000000u);
}

}  // namespace
}  // namespace kelvane::ui::test
