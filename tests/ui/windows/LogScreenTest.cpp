// SPDX-License-Identifier: MIT
#include "ui/windows/LogScreen.h"

#include "WindowsTestSupport.h"
#include "display/Formatters.h"
#include "support/FakeShell.h"
#include "support/HistoryCopyRecords.h"

#include <algorithm>

#include <QIcon>
#include <QLineEdit>
#include <QToolButton>
#include <QImage>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QHeaderView>
#include <QTableView>
#include <QTest>

namespace kelvane::ui::test {
namespace {

using operations::HistoryModel;
using Filter = operations::HistoryFilterModel::OperationFilter;

class LogScreenTest : public WindowTest {
protected:
    std::unique_ptr<LogScreen> open(store::ModelContext* context = nullptr)
    {
        auto screen = std::make_unique<LogScreen>(container_, context ? *context : container_->mainContext(), shell_);
        screen->show();
        screen->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(screen.get()));
        return screen;
    }

    static QStringList paths(const operations::HistoryLogs& rows)
    {
        QStringList result;
        for (const auto& row : rows)
            result << QString::fromStdString(row->targetPath());
        return result;
    }

    static QString shownState(const LogScreen& screen)
    {
        const auto* stack = screen.findChild<QStackedWidget*>(QStringLiteral("content"));
        const QWidget* page = stack->currentWidget();
        if (qobject_cast<const QTableView*>(page))
            return QStringLiteral("table");
        return page->findChild<QLabel*>(QStringLiteral("emptyTitle"))->text();
    }

    static QString footer(const LogScreen& screen)
    {
        return screen.findChild<QLabel*>(QStringLiteral("counts"))->text();
    }

    static QPushButton* deleteButton(const LogScreen& screen)
    {
        return screen.findChild<QPushButton*>(QStringLiteral("deleteAll"));
    }

    static QTableView* table(const LogScreen& screen)
    {
        return screen.findChild<QTableView*>(QStringLiteral("history"));
    }

    // Picks a filter from a toolbar menu as the user does; returns the button's text.
    static QString choose(const LogScreen& screen, const QString& button, int choice)
    {
        auto* tool = screen.findChild<QToolButton*>(button);
        EXPECT_NE(tool, nullptr);
        QList<QAction*> choices;
        for (QAction* action : tool->menu()->actions())
            if (action->isCheckable())
                choices << action;
        EXPECT_EQ(choices.size(), 3);
        choices[choice]->trigger();
        return tool->text();
    }

    kelvane::test::FakeShell shell_;
};

TEST_F(LogScreenTest, TheWindowKeepsItsSizeBetweenOpenings)
{
    auto screen = open();
    EXPECT_GE(screen->width(), 720);
    screen->resize(757, 493);
    screen->close();
    screen.reset();
    screen = open();
    EXPECT_EQ(screen->size(), QSize(757, 493));
}

TEST_F(LogScreenTest, EmptyHistoryShowsItsStateAndOffersNothingToCopyOrDelete)
{
    auto screen = open();
    EXPECT_EQ(shownState(*screen), "履歴がまだありません");
    EXPECT_EQ(footer(*screen), "履歴: 0 件 / 表示: 0 件");
    EXPECT_FALSE(screen->findChild<QLabel*>(QStringLiteral("saved"))->isVisible());
    auto* remove = deleteButton(*screen);
    ASSERT_NE(remove, nullptr);
    EXPECT_EQ(remove->text(), "全削除");
    EXPECT_FALSE(remove->isEnabled());
    shell_.clipboard = QStringLiteral("untouched");
    QTest::keyClick(screen.get(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(shell_.clipboard, "untouched");
}

TEST_F(LogScreenTest, EachFilterAndTheSearchNarrowTheRowsWhileTheFooterCountsEverything)
{
    addLog("/data/Alpha/one.txt", 1000, 400, "compress", true, std::nullopt, 4);
    addLog("/data/beta/two.log", 2000, 2000, "compress", false, "in use", 3);
    addLog("/data/ALPHA/three.bin", 500, 500, "decompress", true, std::nullopt, 2);
    addLog("/data/gamma/four.txt", 800, 200, "recompress", true, std::nullopt, 1);
    auto screen = open();
    EXPECT_EQ(shownState(*screen), "table");
    // Newest first.
    EXPECT_EQ(paths(screen->history().shownLogs()),
              (QStringList{"/data/gamma/four.txt", "/data/ALPHA/three.bin", "/data/beta/two.log", "/data/Alpha/one.txt"}));

    EXPECT_EQ(choose(*screen, "operationFilter", 1), "操作: 圧縮");
    EXPECT_EQ(paths(screen->history().shownLogs()), (QStringList{"/data/beta/two.log", "/data/Alpha/one.txt"}));
    EXPECT_EQ(choose(*screen, "operationFilter", 2), "操作: 解除");
    // An operation of another name passes only "全て".
    EXPECT_EQ(paths(screen->history().shownLogs()), (QStringList{"/data/ALPHA/three.bin"}));
    EXPECT_EQ(table(*screen)->model()->rowCount(), 1);
    EXPECT_EQ(choose(*screen, "operationFilter", 0), "操作");
    EXPECT_EQ(choose(*screen, "resultFilter", 2), "結果: 失敗");
    EXPECT_EQ(paths(screen->history().shownLogs()), (QStringList{"/data/beta/two.log"}));
    EXPECT_EQ(choose(*screen, "resultFilter", 1), "結果: 成功");
    EXPECT_EQ(screen->history().shownLogs().size(), 3u);

    // Typed into the search field.
    auto* search = screen->findChild<QLineEdit*>(QStringLiteral("search"));
    ASSERT_NE(search, nullptr);
    QTest::keyClicks(search, QStringLiteral("alpha"));
    EXPECT_EQ(paths(screen->history().shownLogs()), (QStringList{"/data/ALPHA/three.bin", "/data/Alpha/one.txt"}));
    EXPECT_EQ(footer(*screen), "履歴: 4 件 / 表示: 2 件");
    // The search text is used as typed: a trailing space must be in the path.
    QTest::keyClick(search, Qt::Key_Space);
    EXPECT_TRUE(screen->history().shownLogs().empty());
    EXPECT_EQ(shownState(*screen), "該当する履歴なし");
    EXPECT_EQ(footer(*screen), "履歴: 4 件 / 表示: 0 件");

    // Successful compressions only: 600 + 600 (the failure, the decompression and
    // the record of another operation add nothing).
    const auto* saved = screen->findChild<QLabel*>(QStringLiteral("saved"));
    EXPECT_TRUE(saved->isVisible());
    EXPECT_EQ(saved->text(), "累計削減: " + display::formatBytes(600));
}

TEST_F(LogScreenTest, CopyPutsTheShownOrSelectedRowsOnTheClipboardAsTabSeparatedText)
{
    const auto [grown, failed, empty, unpacked, silent] =
        kelvane::test::addHistoryCopyRecords([&](const auto&... record) { return addLog(record...); });
    auto screen = open();
    screen->setSortOrder(HistoryModel::executedAt, Qt::AscendingOrder);

    // Ctrl+C copies the history also while the table has the focus.
    auto* focused = table(*screen);
    focused->setFocus();
    focused->selectionModel()->setCurrentIndex(focused->model()->index(0, 0), QItemSelectionModel::NoUpdate);
    ASSERT_TRUE(waitUntil([&] { return focused->hasFocus(); }));
    QTest::keyClick(focused, Qt::Key_C, Qt::ControlModifier);
    const auto date = [](const std::shared_ptr<store::CompressionLog>& log) {
        return display::dateTimeFormatter().string(log->executedAt());
    };
    const QString b0 = display::formatBytes(0);
    const QStringList expected{
        "実行日時\t操作\t対象\t圧縮前\t圧縮後\t削減\tアルゴリズム\t所要(ms)\t結果\t詳細",
        date(grown) + "\t圧縮\t/w/grown.bin\t100 B\t150 B\t" + b0 + "\tLZFSE\t12\t成功\t",
        date(failed) + "\t圧縮\t/w/fail\ted.txt\t" + display::formatBytes(5000) + "\t" + display::formatBytes(5000)
            + "\t\u2014\tLZFSE\t12\t失敗\tline one line two",
        date(empty) + "\t圧縮\t/w/empty.txt\t0 B\t0 B\t" + b0 + "\tLZFSE\t12\t成功\t",
        date(unpacked) + "\t解除\t/w/unpacked.txt\t300 B\t900 B\t" + b0 + "\tLZFSE\t12\t成功\t",
        date(silent) + "\t圧縮\t/w/silent.txt\t10 B\t10 B\t\u2014\tLZFSE\t12\t失敗\t",
    };
    EXPECT_EQ(shell_.clipboard, expected.join('\n'));

    // The table: a grown file shows 0 bytes saved, an empty file "—".
    const auto* model = table(*screen)->model();
    EXPECT_EQ(model->index(0, HistoryModel::saved).data().toString(), b0);
    EXPECT_EQ(model->index(2, HistoryModel::saved).data().toString(), "\u2014");
    EXPECT_EQ(model->index(4, HistoryModel::detail).data().toString(), "失敗");
    EXPECT_EQ(model->index(4, HistoryModel::result).data(Qt::ToolTipRole).toString(), "失敗");
    // The result is a symbol alone: a green check or a red cross.
    for (const int row : {0, 4}) {
        const QModelIndex cell = model->index(row, HistoryModel::result);
        EXPECT_TRUE(cell.data(Qt::DisplayRole).toString().isEmpty());
        const QImage image = cell.data(Qt::DecorationRole).value<QIcon>().pixmap(16, 16).toImage();
        ASSERT_FALSE(image.isNull());
        const QColor centre = image.pixelColor(8, 3);
        EXPECT_EQ(centre.green() > centre.red(), model->index(row, HistoryModel::result).data(Qt::ToolTipRole).toString() != QStringLiteral("失敗"));
    }

    // A selection hidden by a filter is counted but not copied.
    screen->history().setSelection({grown->id(), unpacked->id()});
    screen->history().setOperationFilter(Filter::compress);
    EXPECT_EQ(footer(*screen), "履歴: 5 件 / 表示: 4 件 / 選択: 2 件");
    QTest::keyClick(screen.get(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(shell_.clipboard, expected[0] + '\n' + expected[1]);

    // The row menu copies exactly the rows it was opened on.
    screen->history().setOperationFilter(Filter::all);
    screen->history().setSelection({failed->id(), silent->id()});
    auto* view = table(*screen);
    emit view->customContextMenuRequested(view->visualRect(view->model()->index(1, 0)).center());
    auto* menu = screen->findChild<QMenu*>(QStringLiteral("rowMenu"));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), "選択行をコピー (2 件)(&C)");
    menu->actions()[0]->trigger();
    EXPECT_EQ(shell_.clipboard, QStringList({expected[0], expected[2], expected[5]}).join('\n'));
    menu->close();

    // Nothing to copy leaves the clipboard as it was.
    screen->history().setOperationFilter(Filter::compress);
    screen->copyAsTSV(LogScreen::Ids{unpacked->id()});
    EXPECT_EQ(shell_.clipboard, QStringList({expected[0], expected[2], expected[5]}).join('\n'));
}

TEST_F(LogScreenTest, TargetsThatMisleadAreShownAsTheyAreAndCopiedAsTheyAre)
{
    const std::string path = "/w/\xffodd/invoice\u202Efdp.exe\n";
    addLog(path, 9000, 3000);
    addLog("/w/plain.txt", 9000, 3000);
    auto screen = open();
    screen->setSortOrder(HistoryModel::target, Qt::DescendingOrder);
    const auto* model = table(*screen)->model();
    const QModelIndex target = model->index(0, HistoryModel::target);
    EXPECT_EQ(target.data().toString(), "/w/\\xFFodd/invoice\\u202Efdp.exe\\n");
    EXPECT_EQ(target.data(Qt::ToolTipRole).toString(), target.data().toString());
    EXPECT_EQ(model->index(1, HistoryModel::target).data().toString(), "/w/plain.txt");

    // The search and the copy work on the real path.
    screen->setSearchQuery(QStringLiteral("invoice\u202Efdp"));
    ASSERT_EQ(model->rowCount(), 1);
    screen->copyAsTSV();
    EXPECT_TRUE(shell_.clipboard.contains(QStringLiteral("odd/invoice\u202Efdp.exe\n\t"))) << shell_.clipboard.toStdString();
}

TEST_F(LogScreenTest, StoredFailureTextsAreShownEscapedLikeNames)
{
    // A record written by an older version: the failure text carries a path
    // with a right-to-left override and a control character as they were.
    addLog("/w/report.txt", 10, 10, "compress", false, "cannot read /w/invoice\u202Efdp.exe\x07\nretry later");
    auto screen = open();
    const auto* model = table(*screen)->model();
    const QModelIndex detail = model->index(0, HistoryModel::detail);
    EXPECT_EQ(detail.data().toString(), "cannot read /w/invoice\\u202Efdp.exe\\x07 retry later");
    EXPECT_EQ(detail.data(Qt::ToolTipRole).toString(), "cannot read /w/invoice\\u202Efdp.exe\\x07\nretry later");
    EXPECT_EQ(model->index(0, HistoryModel::result).data(Qt::ToolTipRole).toString(),
              detail.data(Qt::ToolTipRole).toString());
    EXPECT_EQ(detail.data(Qt::AccessibleTextRole).toString(), detail.data(Qt::ToolTipRole).toString());
}

TEST_F(LogScreenTest, AtItsNarrowestWidthTheTableDoesNotScrollSideways)
{
    // Enough rows for a vertical scroll bar, which takes its share of the width.
    for (int i = 0; i < 40; ++i)
        addLog("/n/file" + std::to_string(i) + ".txt", 1000, 400, "compress", true, std::nullopt, i);
    auto screen = open();
    screen->resize(screen->minimumSize());
    auto* view = table(*screen);
    ASSERT_TRUE(waitUntil([&] { return screen->width() == 720 && view->verticalScrollBar()->isVisible(); }));
    QCoreApplication::sendPostedEvents();
    EXPECT_LE(view->horizontalHeader()->length(), view->viewport()->width());
    EXPECT_EQ(view->horizontalScrollBar()->maximum(), 0);
}

TEST_F(LogScreenTest, ColumnsSortByTheirValuesAndUnsortableColumnsKeepTheOrder)
{
    addLog("/s/b10.txt", 300, 1, "decompress", true, std::nullopt, 3);
    addLog("/s/B2.txt", 100, 1, "compress", true, std::nullopt, 2);
    addLog("/s/a.txt", 200, 1, "compress", true, std::nullopt, 1);
    auto screen = open();
    screen->setSortOrder(HistoryModel::sizeBefore, Qt::AscendingOrder);
    EXPECT_EQ(paths(screen->history().shownLogs()), (QStringList{"/s/B2.txt", "/s/a.txt", "/s/b10.txt"}));
    screen->setSortOrder(HistoryModel::target, Qt::AscendingOrder);
    // Case-insensitive, numbers by value.
    EXPECT_EQ(paths(screen->history().shownLogs()), (QStringList{"/s/a.txt", "/s/B2.txt", "/s/b10.txt"}));
    screen->setSortOrder(HistoryModel::saved, Qt::DescendingOrder);
    EXPECT_EQ(paths(screen->history().shownLogs()), (QStringList{"/s/a.txt", "/s/B2.txt", "/s/b10.txt"}));
    screen->setSortOrder(HistoryModel::operation, Qt::AscendingOrder);
    EXPECT_EQ(paths(screen->history().shownLogs()).last(), "/s/b10.txt");

    // Clicked in the header: a sort key sorts, another column changes neither
    // the order nor the indicator.
    auto* header = table(*screen)->horizontalHeader();
    const auto clickHeader = [&](int column) {
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    };
    clickHeader(HistoryModel::sizeBefore);
    const QStringList bySize = paths(screen->history().shownLogs());
    ASSERT_TRUE(bySize == (QStringList{"/s/B2.txt", "/s/a.txt", "/s/b10.txt"})
                || bySize == (QStringList{"/s/b10.txt", "/s/a.txt", "/s/B2.txt"}))
        << bySize.join(' ').toStdString();
    const Qt::SortOrder order = header->sortIndicatorOrder();
    clickHeader(HistoryModel::saved);
    EXPECT_EQ(paths(screen->history().shownLogs()), bySize);
    EXPECT_EQ(header->sortIndicatorSection(), HistoryModel::sizeBefore);
    EXPECT_EQ(header->sortIndicatorOrder(), order);
    clickHeader(HistoryModel::sizeBefore);
    EXPECT_EQ(header->sortIndicatorOrder(), order == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder);
    QStringList reversed = bySize;
    std::reverse(reversed.begin(), reversed.end());
    EXPECT_EQ(paths(screen->history().shownLogs()), reversed);
}

TEST_F(LogScreenTest, RowsClickedInTheTableAreTheSelectionAndStaySoWhileAFilterHidesThem)
{
    const auto newest = addLog("/c/newest.txt", 10, 5, "compress", true, std::nullopt, 1);
    addLog("/c/middle.txt", 10, 5, "compress", true, std::nullopt, 2);
    const auto oldest = addLog("/c/oldest.txt", 10, 5, "decompress", true, std::nullopt, 3);
    auto screen = open();
    auto* view = table(*screen);
    const auto rowCentre = [&](int row) { return view->visualRect(view->model()->index(row, 2)).center(); };
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rowCentre(0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(2));
    EXPECT_EQ(screen->history().selection(), (LogScreen::Ids{newest->id(), oldest->id()}));
    EXPECT_EQ(footer(*screen), "履歴: 3 件 / 表示: 3 件 / 選択: 2 件");

    // Hidden by a filter, "oldest" stays selected but is not copied.
    choose(*screen, "operationFilter", 1);
    EXPECT_EQ(footer(*screen), "履歴: 3 件 / 表示: 2 件 / 選択: 2 件");
    QTest::keyClick(screen.get(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(shell_.clipboard.split('\n').size(), 2);
    EXPECT_TRUE(shell_.clipboard.contains("/c/newest.txt"));

    // Shown again, it is selected in the table again.
    choose(*screen, "operationFilter", 0);
    EXPECT_EQ(view->selectionModel()->selectedRows().size(), 2);
    EXPECT_TRUE(view->selectionModel()->isRowSelected(2, {}));
    // A plain click selects that row alone.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rowCentre(1));
    EXPECT_EQ(footer(*screen), "履歴: 3 件 / 表示: 3 件 / 選択: 1 件");
}

TEST_F(LogScreenTest, DeleteAllAsksFirstThenEmptiesTheWholeHistory)
{
    addLog("/d/one.txt", 10, 5);
    addLog("/d/two.txt", 10, 5, "decompress");
    auto screen = open();
    screen->history().setOperationFilter(Filter::decompress);
    deleteButton(*screen)->click();
    auto* confirm = screen->findChild<QMessageBox*>(QStringLiteral("confirmClear"));
    ASSERT_NE(confirm, nullptr);
    EXPECT_EQ(confirm->informativeText(), "履歴ログ 2 件を全て削除します。実ファイルには影響しません。");
    auto* cancel = confirm->findChild<QPushButton*>(QStringLiteral("cancel"));
    auto* remove = confirm->findChild<QPushButton*>(QStringLiteral("delete"));
    ASSERT_TRUE(cancel && remove);
    EXPECT_EQ(cancel->text(), "キャンセル");
    EXPECT_EQ(remove->text(), "削除");
    remove->click();
    ASSERT_TRUE(waitUntil([&] { return screen->history().records().logs().empty(); }));
    EXPECT_EQ(shownState(*screen), "履歴がまだありません");
    EXPECT_FALSE(deleteButton(*screen)->isEnabled());
    // The file agrees.
    auto reader = container_->makeContext(store::ModelContext::Access::readOnly);
    EXPECT_TRUE(reader->fetch<store::CompressionLog>().empty());
}

TEST_F(LogScreenTest, AFailedDeleteKeepsTheRowsAndSaysSo)
{
    addLog("/r/one.txt", 10, 5);
    addLog("/r/two.txt", 10, 5);
    auto readOnly = container_->makeContext(store::ModelContext::Access::readOnly);
    auto screen = open(readOnly.get());
    ASSERT_EQ(screen->history().records().logs().size(), 2u);
    screen->deleteAllLogs();
    auto* alert = screen->findChild<QMessageBox*>(QStringLiteral("deleteFailed"));
    ASSERT_NE(alert, nullptr);
    EXPECT_TRUE(alert->isVisible());
    EXPECT_TRUE(alert->informativeText().startsWith("詳細: "));
    EXPECT_EQ(screen->history().records().logs().size(), 2u);
    EXPECT_EQ(shownState(*screen), "table");
    EXPECT_EQ(footer(*screen), "履歴: 2 件 / 表示: 2 件");
    EXPECT_EQ(container_->mainContext().fetch<store::CompressionLog>().size(), 2u);
}

TEST_F(LogScreenTest, RecordsSavedOrPrunedElsewhereShowUpWhileTheWindowIsOpen)
{
    auto screen = open();
    auto writer = container_->makeContext();
    auto log = std::make_shared<store::CompressionLog>(store::Uuid::random(), std::chrono::system_clock::now(),
                                                       "compress", "/live/new.txt", 100, 10, "LZFSE", 1, true);
    writer->insert(log);
    writer->save();
    ASSERT_TRUE(waitUntil([&] { return screen->history().records().logs().size() == 1; }));
    EXPECT_EQ(shownState(*screen), "table");
    writer->remove(log);
    writer->save();
    ASSERT_TRUE(waitUntil([&] { return screen->history().records().logs().empty(); }));
    EXPECT_EQ(shownState(*screen), "履歴がまだありません");
}

}  // namespace
}  // namespace kelvane::ui::test
