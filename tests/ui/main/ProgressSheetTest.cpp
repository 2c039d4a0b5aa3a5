// SPDX-License-Identifier: MIT
// The progress sheet over a run's progress set by hand, its texts at their
// boundaries, the operation cell's buttons and the selection's bulk counts.

#include "QStringPrinting.h"

#include "operations/bulk/OperationProgress.h"
#include "ui/common/ElidedLabel.h"
#include "ui/main/ActionCell.h"
#include "ui/sheets/OperationProgressSheet.h"
#include "ui/sheets/ProgressTexts.h"

#include "support/DisplayRows.h"
#include "support/EventLoopWait.h"
#include "support/WidgetApplication.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <chrono>

namespace kelvane::ui::test {
namespace {

using namespace std::chrono_literals;
using operations::ActiveOperation;
using operations::DisplayRow;
using operations::FileStatusEntry;
using operations::OperationProgress;
using Kind = ActiveOperation::Kind;
using engine::FileCompressionInfo;
using engine::FileCompressionStatus;

class ProgressSheetTest : public ::testing::Test {
protected:
    void SetUp() override { kelvane::test::widgetApplication(); }

    OperationProgressSheet& open(Kind kind, int total, std::int64_t totalBytes = 0)
    {
        progress_ = std::make_shared<OperationProgress>(kind, total, totalBytes, std::max(1, std::min(total, 8)));
        sheet_ = std::make_unique<OperationProgressSheet>(progress_, true);
        sheet_->show();
        return *sheet_;
    }
    void finish() { progress_->setCompletedAt(OperationProgress::Clock::now()); }
    // One turn of the event loop: the sheet redraws what changed.
    void turn() { QCoreApplication::processEvents(); }

    QString text(const char* name) const
    {
        auto* l = sheet_->findChild<QLabel*>(QString::fromLatin1(name));
        return l ? l->text() : QStringLiteral("<none>");
    }
    bool shows(const char* name) const
    {
        auto* w = sheet_->findChild<QWidget*>(QString::fromLatin1(name));
        return w && w->isVisibleTo(sheet_.get());
    }
    QPushButton* button(const char* objectName) const
    {
        return sheet_->findChild<QPushButton*>(QString::fromLatin1(objectName));
    }

    std::shared_ptr<OperationProgress> progress_;
    std::unique_ptr<OperationProgressSheet> sheet_;
};

TEST_F(ProgressSheetTest, OneFileRunShowsASpinnerAndEscapeCancelsOnlyOnceThereIsATask)
{
    open(Kind::decompress, 1, 5000);
    EXPECT_TRUE(shows("spinner"));
    EXPECT_EQ(text("title"), QStringLiteral("解除中…"));
    EXPECT_FALSE(shows("progressBar"));
    EXPECT_FALSE(shows("fileName"));  // no file in hand yet
    EXPECT_TRUE(shows("processed"));
    EXPECT_FALSE(shows("memoryUse"));  // no sample yet
    EXPECT_FALSE(button("cancelButton")->isEnabled());

    QTest::keyClick(sheet_.get(), Qt::Key_Escape);
    EXPECT_FALSE(progress_->wasCancelled());
    EXPECT_TRUE(sheet_->isVisible());

    const operations::TaskHandle task;
    progress_->setTask(task);
    progress_->setCurrentFileName("<b>名前</b>.txt");
    progress_->setCurrentMemoryBytes(1);
    turn();
    EXPECT_TRUE(button("cancelButton")->isEnabled());
    EXPECT_TRUE(shows("fileName"));
    EXPECT_TRUE(shows("memoryUse"));
    QTest::keyClick(sheet_.get(), Qt::Key_Escape);
    EXPECT_TRUE(progress_->wasCancelled());
    EXPECT_TRUE(task.isCancelled());
    EXPECT_TRUE(sheet_->isVisible());  // the run ends it, not the key
    // Nor does the window's close end a run's sheet.
    QSignalSpy closeAsked(sheet_.get(), &OperationProgressSheet::closeRequested);
    sheet_->close();
    turn();
    EXPECT_TRUE(sheet_->isVisible());
    EXPECT_EQ(closeAsked.count(), 0);
}

TEST_F(ProgressSheetTest, TheFileInHandIsNamedAsItReallyIs)
{
    open(Kind::compress, 3, 5000);
    // Each name comes a second later on the sheet's clock, so it is drawn at once.
    auto now = std::make_shared<std::chrono::nanoseconds>(0);
    sheet_->setMonotonicClock([now] { return *now; });
    progress_->setTask(operations::TaskHandle());
    for (const auto& [name, shown] : std::vector<std::pair<std::string, QString>>{
             {"invoice\u202Efdp.exe", QStringLiteral("invoice\\u202Efdp.exe")},
             {"two\nlines\t.txt", QStringLiteral("two\\nlines\\t.txt")},
             {"\xe9t\xe9.txt", QStringLiteral("\\xE9t\\xE9.txt")}}) {
        *now += 1s;
        progress_->setCurrentFileName(name);
        turn();
        EXPECT_EQ(sheet_->findChild<ElidedLabel*>(QStringLiteral("fileName"))->text(), shown);
    }
}

// The figures are drawn a few times a second however often they change; the
// run's state at once; everything once a second. The sheet's clock is the
// test's.
TEST_F(ProgressSheetTest, FigureChangesRedrawAFewTimesASecondTheEndAtOnce)
{
    open(Kind::compress, 300, 3000000);
    EXPECT_EQ(text("title"), QStringLiteral("圧縮中…（0 / 300）"));
    EXPECT_FALSE(shows("spinner"));
    auto now = std::make_shared<std::chrono::nanoseconds>(0);
    sheet_->setMonotonicClock([now] { return *now; });
    // The clock's tick held still, so only the changes redraw.
    auto* tick = sheet_->findChild<QTimer*>(QStringLiteral("clockTick"));
    auto* later = sheet_->findChild<QTimer*>(QStringLiteral("changeRedraw"));
    ASSERT_NE(tick, nullptr);
    ASSERT_NE(later, nullptr);
    tick->stop();
    turn();
    const int before = sheet_->refreshCount();

    // A hundred changes soon after the last redraw: one redraw, later.
    *now = 100ms;
    for (int i = 0; i < 100; ++i) {
        progress_->addCurrent(1);
        progress_->addBytesProcessedSoFar(10000);
        progress_->addBytesSavedSoFar(4000);
    }
    turn();
    EXPECT_EQ(sheet_->refreshCount(), before);
    EXPECT_TRUE(later->isActive());
    *now = 300ms;
    ASSERT_TRUE(kelvane::test::runEventsUntil([&] { return sheet_->refreshCount() > before; }, 3s));
    EXPECT_EQ(sheet_->refreshCount(), before + 1);
    EXPECT_EQ(text("title"), QStringLiteral("圧縮中…（100 / 300）"));
    EXPECT_EQ(text("progressCounts"), QStringLiteral("100 / 300"));
    EXPECT_EQ(text("progressSaved"), QStringLiteral("削減 400 KB"));
    EXPECT_FALSE(shows("progressFailed"));

    // Once the interval has passed, a change is drawn at the end of the turn.
    *now = 600ms;
    progress_->addCurrent(1);
    turn();
    EXPECT_EQ(sheet_->refreshCount(), before + 2);
    EXPECT_FALSE(later->isActive());
    EXPECT_EQ(text("progressCounts"), QStringLiteral("101 / 300"));

    // Nothing changes, yet the figures move on with the clock: five seconds
    // pass on the sheet's clock, and its one-second tick redraws them.
    const int still = sheet_->refreshCount();
    *now = 5s;
    EXPECT_EQ(tick->interval(), 1000);
    tick->start();
    ASSERT_TRUE(kelvane::test::runEventsUntil([&] { return sheet_->refreshCount() > still; }, 3s));
    EXPECT_EQ(text("elapsed"), QStringLiteral("0:05"));
    EXPECT_TRUE(text("remaining").startsWith(QStringLiteral("約 ")) || text("remaining") == QStringLiteral("完了間近"))
        << text("remaining").toStdString();
    EXPECT_TRUE(text("speed").endsWith(QStringLiteral(" / 秒"))) << text("speed").toStdString();

    // The end is drawn at once, however soon after the last redraw.
    tick->stop();
    const int running = sheet_->refreshCount();
    progress_->addCurrent(1);
    finish();
    turn();
    EXPECT_EQ(sheet_->refreshCount(), running + 1);
    EXPECT_FALSE(shows("progressBar"));
    EXPECT_FALSE(later->isActive());
}

TEST_F(ProgressSheetTest, FinishedStatesShowWhatTheRunCameTo)
{
    // Cancelled with a failure: the pause symbol, no praise, the failure in the counts.
    open(Kind::decompress, 20, 100000);
    progress_->setCurrent(2);
    progress_->setSucceededCount(1);
    progress_->appendFailure({store::Uuid::random(), "x", "why"});
    progress_->setBytesProcessedSoFar(80000);
    progress_->setBytesSavedSoFar(20000);
    progress_->setWasCancelled(true);
    finish();
    progress_->setCurrent(20);  // the finish marks every candidate done
    turn();
    EXPECT_EQ(text("title"), QStringLiteral("解除を中断しました"));
    EXPECT_EQ(text("counts"), QStringLiteral("成功 1 件 · 失敗 1"));
    EXPECT_EQ(sheet_->findChild<QLabel*>(QStringLiteral("statusSymbol"))->property("symbol").toString(), QStringLiteral("pause.circle.fill"));
    EXPECT_TRUE(shows("resultCard"));
    EXPECT_EQ(text("savedPercent"), QStringLiteral("25% 縮小"));
    EXPECT_FALSE(shows("praise"));
    EXPECT_FALSE(shows("progressBar"));
    EXPECT_FALSE(shows("safetyNotes"));
    EXPECT_FALSE(shows("oversizeNotice"));
    EXPECT_EQ(text("remaining"), QStringLiteral("計測中…"));
    EXPECT_TRUE(button("closeButton")->isDefault());
    EXPECT_FALSE(button("cancelButton")->isVisibleTo(sheet_.get()));

    // Nothing saved: no card at all; only skipped bytes processed: no percentage or size line.
    open(Kind::compress, 12, 100000);
    progress_->setSizeSkippedCount(2);
    progress_->setCurrent(12);
    progress_->setSkippedCount(12);
    progress_->setBytesProcessedSoFar(100000);
    progress_->setSkippedBytes(100000);
    finish();
    turn();
    EXPECT_EQ(text("title"), QStringLiteral("圧縮完了"));
    EXPECT_EQ(text("counts"), QStringLiteral("成功 0 件 · スキップ 12 · 2 GB 超 2"));
    EXPECT_FALSE(shows("resultCard"));
    EXPECT_TRUE(shows("oversizeNotice"));
    EXPECT_EQ(text("oversizeHeadline"), QStringLiteral("2 件のファイルが 2 GB を超えるためスキップしました"));
    EXPECT_FALSE(shows("oversizeTotal"));
    EXPECT_TRUE(shows("oversizeReason"));
    progress_->setBytesSavedSoFar(5);
    turn();
    EXPECT_TRUE(shows("resultCard"));
    EXPECT_FALSE(shows("savedPercent"));
    EXPECT_FALSE(shows("sizeLine"));

    // The window's close (Ctrl+W, the title bar) asks for the result to be
    // closed, as its button does; the sheet goes when its owner takes it down.
    QSignalSpy closeAsked(sheet_.get(), &OperationProgressSheet::closeRequested);
    sheet_->close();
    EXPECT_TRUE(sheet_->isVisible());
    ASSERT_TRUE(closeAsked.wait(5000));
    sheet_->dismiss();
    EXPECT_FALSE(sheet_->isVisible());
}

TEST(ProgressTextsTest, DurationsEstimatesAndSpeedsAtTheirBoundaries)
{
    EXPECT_EQ(ProgressTexts::formatDuration(75), QStringLiteral("1:15"));
    EXPECT_EQ(ProgressTexts::formatDuration(3599.9), QStringLiteral("59:59"));
    EXPECT_EQ(ProgressTexts::formatDuration(3600), QStringLiteral("1:00:00"));
    EXPECT_EQ(ProgressTexts::formatDuration(90061), QStringLiteral("25:01:01"));
    EXPECT_EQ(ProgressTexts::remainingText(std::nullopt), QStringLiteral("計測中…"));
    EXPECT_EQ(ProgressTexts::remainingText(std::numeric_limits<double>::infinity()), QStringLiteral("計測中…"));
    EXPECT_EQ(ProgressTexts::remainingText(std::nan("")), QStringLiteral("計測中…"));
    EXPECT_EQ(ProgressTexts::remainingText(0.7), QStringLiteral("完了間近"));
    EXPECT_EQ(ProgressTexts::remainingText(1.0), QStringLiteral("約 0:01"));
    EXPECT_EQ(ProgressTexts::remainingText(125), QStringLiteral("約 2:05"));
    EXPECT_EQ(ProgressTexts::speedText(std::nullopt), QStringLiteral("計測中…"));
    EXPECT_EQ(ProgressTexts::speedText(1999.9), QStringLiteral("2 KB / 秒"));
    EXPECT_EQ(ProgressTexts::speedText(999.9), QStringLiteral("999 B / 秒"));
}

TEST(ProgressTextsTest, SavingsPercentSymbolsMessagesAndMemoryColoursAtTheirThresholds)
{
    EXPECT_EQ(ProgressTexts::savedPercent(42, 100), 42);
    EXPECT_EQ(ProgressTexts::savedPercent(4, 1000), 1);      // 0.4 % shows as 1
    EXPECT_EQ(ProgressTexts::savedPercent(996, 1000), 99);   // 99.6 % shows as 99
    EXPECT_EQ(ProgressTexts::savedPercent(5, 10), 50);       // halves away from zero: 50
    EXPECT_EQ(ProgressTexts::savedPercent(125, 1000), 13);   // 12.5 -> 13
    EXPECT_EQ(ProgressTexts::savedPercent(10, 0), std::nullopt);
    EXPECT_EQ(ProgressTexts::savedPercent(0, 100), std::nullopt);

    EXPECT_EQ(ProgressTexts::savingsSymbol(99999999), QStringLiteral("checkmark.seal.fill"));
    EXPECT_EQ(ProgressTexts::savingsSymbol(100000000), QStringLiteral("star.fill"));
    EXPECT_EQ(ProgressTexts::savingsSymbol(999999999), QStringLiteral("star.fill"));
    EXPECT_EQ(ProgressTexts::savingsSymbol(1000000000), QStringLiteral("sparkles"));
    const QString last = QStringLiteral("少しずつでも積み重ねれば、確実にディスクは軽くなります。");
    EXPECT_EQ(ProgressTexts::savingsMessage(9999999), last);
    EXPECT_EQ(ProgressTexts::savingsMessage(10000000), QStringLiteral("気持ちよくスッキリしました。塵も積もれば、です。"));
    EXPECT_EQ(ProgressTexts::savingsMessage(100000000),
              QStringLiteral("まとまった容量を確保できました。日々の作業が少し快適になります。"));
    EXPECT_EQ(ProgressTexts::savingsMessage(1000000000),
              QStringLiteral("素晴らしい削減です。ディスクがぐっと軽くなりました。"));
    EXPECT_EQ(ProgressTexts::savingsMessage(10000000000LL),
              QStringLiteral("圧巻の削減です。ストレージにかなりの余裕が生まれました。"));

    EXPECT_EQ(ProgressTexts::memoryUsageColor(60, 100), ProgressTexts::red());
    EXPECT_EQ(ProgressTexts::memoryUsageColor(59, 100), ProgressTexts::orange());
    EXPECT_EQ(ProgressTexts::memoryUsageColor(40, 100), ProgressTexts::orange());
    EXPECT_EQ(ProgressTexts::memoryUsageColor(39, 100), std::nullopt);
    EXPECT_EQ(ProgressTexts::memoryUsageColor(90, 0), std::nullopt);
    EXPECT_EQ(ProgressTexts::memoryAvailableColor(4, 100), ProgressTexts::red());
    EXPECT_EQ(ProgressTexts::memoryAvailableColor(5, 100), ProgressTexts::orange());
    EXPECT_EQ(ProgressTexts::memoryAvailableColor(10, 100), std::nullopt);
    EXPECT_EQ(ProgressTexts::memoryAvailableColor(0, 0), std::nullopt);
}

// --- the operation cell ----------------------------------------------------------------

using kelvane::test::fileRow;
using kelvane::test::loaded;

TEST(ActionCellTest, FilesOfferTheOneOperationTheirStateAllowsAndFoldersTheirCounts)
{
    kelvane::test::widgetApplication();  // fonts measure the buttons
    const DisplayRow file = fileRow();
    const auto compressed = ActionCell::buttons(file, loaded(FileCompressionStatus::compressed{}));
    ASSERT_EQ(compressed.size(), 1u);
    EXPECT_EQ(compressed[0], (ActionButton{RowAction::decompress, QStringLiteral("解除"),
                                           QStringLiteral("圧縮を解除して元の状態に戻します"), false, false}));
    const auto plain = ActionCell::buttons(file, loaded(FileCompressionStatus::uncompressed{}));
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(plain[0], (ActionButton{RowAction::compress, QStringLiteral("圧縮"), QString(), true, true}));
    for (const FileStatusEntry& none :
         {loaded(FileCompressionStatus::incompressible{}), loaded(FileCompressionStatus::datalessCloud{}),
          FileStatusEntry(), FileStatusEntry(FileStatusEntry::error{"x"}), FileStatusEntry(FileStatusEntry::notFound{})})
        EXPECT_TRUE(ActionCell::buttons(file, none).empty());

    DisplayRow folder;
    folder.kind = DisplayRow::DisplayKind::folder;
    EXPECT_TRUE(ActionCell::buttons(folder, {}).empty());  // no aggregate yet: nothing, no spinner
    folder.folderAggregate = operations::FolderAggregate{};
    EXPECT_TRUE(ActionCell::buttons(folder, {}).empty());
    folder.folderAggregate->compressableCount = 3;
    auto buttons = ActionCell::buttons(folder, {});
    ASSERT_EQ(buttons.size(), 1u);
    EXPECT_EQ(buttons[0], (ActionButton{RowAction::compress, QStringLiteral("圧縮 3"),
                                        QStringLiteral("配下の未圧縮ファイル 3 件を一括で圧縮します"), true, false}));
    folder.folderAggregate->compressedCount = 12345;
    buttons = ActionCell::buttons(folder, {});
    ASSERT_EQ(buttons.size(), 2u);
    EXPECT_EQ(buttons[0].kind, RowAction::compress);
    EXPECT_EQ(buttons[1], (ActionButton{RowAction::decompress, QStringLiteral("解除 12345"),
                                        QStringLiteral("配下の圧縮済みファイル 12345 件を一括で解除します"), false,
                                        false}));

    // Side by side inside the cell, not overlapping.
    const auto rects = ActionCell::buttonRects(QRect(0, 0, 400, 24), buttons, QFont());
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_LT(rects[0].right(), rects[1].left());
    EXPECT_TRUE(QRect(0, 0, 400, 24).contains(rects[0].united(rects[1])));
}

}  // namespace
}  // namespace kelvane::ui::test
