// SPDX-License-Identifier: MIT
#include "operations/windows/HistoryFilterModel.h"
#include "operations/windows/HistoryModel.h"

#include "OperationsTestSupport.h"
#include "display/Formatters.h"
#include "store/CompressionLog.h"
#include "support/HistoryCopyRecords.h"

#include <QAbstractItemModelTester>

#include <climits>

namespace kelvane::operations::test {
namespace {

using Column = HistoryModel::Column;
using Tone = HistoryModel::Tone;
using OperationFilter = HistoryFilterModel::OperationFilter;
using ResultFilter = HistoryFilterModel::ResultFilter;

// The history window's models over a store of the test's own, driven as the
// window drives them, with Qt's model checker watching both.
class HistoryModelTest : public StoreFixture {
protected:
    std::shared_ptr<store::CompressionLog> add(const std::string& path, std::int64_t before, std::int64_t after,
                                               const std::string& operation = "compress", bool success = true,
                                               std::optional<std::string> error = std::nullopt, int minutesAgo = 0,
                                               std::int64_t durationMs = 12, const std::string& algorithm = "LZFSE")
    {
        auto log = std::make_shared<store::CompressionLog>(store::Uuid::random(), now_ - std::chrono::minutes(minutesAgo),
                                                           operation, path, before, after, algorithm, durationMs,
                                                           success, std::move(error));
        container_->mainContext().insert(log);
        container_->mainContext().save();
        return log;
    }

    void openModels(store::ModelContext* context = nullptr)
    {
        filterTester_.reset();
        recordsTester_.reset();
        filter_.reset();
        records_.reset();
        records_ = std::make_unique<HistoryModel>(container_, context ? *context : container_->mainContext());
        filter_ = std::make_unique<HistoryFilterModel>(*records_);
        recordsTester_ = std::make_unique<QAbstractItemModelTester>(records_.get(),
                                                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
        filterTester_ = std::make_unique<QAbstractItemModelTester>(filter_.get(),
                                                                   QAbstractItemModelTester::FailureReportingMode::Fatal);
    }

    QStringList shownPaths() const
    {
        QStringList paths;
        for (const auto& log : filter_->shownLogs())
            paths << QString::fromStdString(log->targetPath());
        return paths;
    }

    // What the table's cell shows, read through the filter as the view does.
    QString cell(int row, int column, int role = Qt::DisplayRole) const
    {
        return filter_->index(row, column).data(role).toString();
    }

    Tone tone(int row, int column) const
    {
        return filter_->index(row, column).data(HistoryModel::toneRole).value<Tone>();
    }

    static QString date(const std::shared_ptr<store::CompressionLog>& log)
    {
        return display::dateTimeFormatter().string(log->executedAt());
    }

    const std::chrono::system_clock::time_point now_ = std::chrono::system_clock::now();
    std::unique_ptr<HistoryModel> records_;
    std::unique_ptr<HistoryFilterModel> filter_;
    std::unique_ptr<QAbstractItemModelTester> recordsTester_;
    std::unique_ptr<QAbstractItemModelTester> filterTester_;
};

TEST_F(HistoryModelTest, FiltersNarrowTheShownRowsAndNeverTheRecords)
{
    add("/data/Alpha/one.txt", 1000, 400, "compress", true, std::nullopt, 4);
    add("/data/beta/two.log", 2000, 2000, "compress", false, "in use", 3);
    add("/data/ALPHA/three.bin", 500, 500, "decompress", true, std::nullopt, 2);
    add("/data/gamma/four.txt", 800, 200, "recompress", true, std::nullopt, 1);
    openModels();
    EXPECT_EQ(shownPaths(),
              (QStringList{"/data/gamma/four.txt", "/data/ALPHA/three.bin", "/data/beta/two.log", "/data/Alpha/one.txt"}));

    int announced = 0;
    QObject::connect(filter_.get(), &HistoryFilterModel::shownChanged, [&] { ++announced; });
    filter_->setOperationFilter(OperationFilter::compress);
    EXPECT_EQ(shownPaths(), (QStringList{"/data/beta/two.log", "/data/Alpha/one.txt"}));
    // Another operation's name passes "all" only.
    filter_->setOperationFilter(OperationFilter::decompress);
    EXPECT_EQ(shownPaths(), (QStringList{"/data/ALPHA/three.bin"}));
    filter_->setOperationFilter(OperationFilter::all);
    filter_->setResultFilter(ResultFilter::failure);
    EXPECT_EQ(shownPaths(), (QStringList{"/data/beta/two.log"}));
    filter_->setResultFilter(ResultFilter::success);
    EXPECT_EQ(filter_->rowCount(), 3);
    EXPECT_EQ(announced, 5);

    // Any case, as typed: a trailing space has to be in the path too.
    filter_->setSearchQuery(QStringLiteral("alpha"));
    EXPECT_EQ(shownPaths(), (QStringList{"/data/ALPHA/three.bin", "/data/Alpha/one.txt"}));
    filter_->setSearchQuery(QStringLiteral("alpha "));
    EXPECT_EQ(filter_->rowCount(), 0);
    EXPECT_EQ(records_->rowCount(), 4);

    // The three filters together.
    filter_->setSearchQuery(QStringLiteral(".txt"));
    filter_->setOperationFilter(OperationFilter::compress);
    EXPECT_EQ(shownPaths(), (QStringList{"/data/Alpha/one.txt"}));
    EXPECT_EQ(HistoryFilterModel::label(OperationFilter::decompress), "解除");
    EXPECT_EQ(HistoryFilterModel::label(ResultFilter::failure), "失敗");
}

TEST_F(HistoryModelTest, ColumnsSortByTheirValuesAndEqualKeysKeepTheNewestFirst)
{
    add("/s/b10.txt", 300, 1, "decompress", true, std::nullopt, 5, 7, "LZVN");
    add("/s/B2.txt", 100, 9, "compress", true, std::nullopt, 4, 30, "lzfse");
    add("/s/a.txt", 200, 5, "compress", true, std::nullopt, 3, 7, "LZFSE");
    add("/s/c.txt", 200, 5, "compress", false, "x", 2, 2, "LZFSE");
    add("/s/d.txt", 100, 3, "decompress", true, std::nullopt, 1, 30, "LZVN");
    openModels();
    EXPECT_EQ(shownPaths(), (QStringList{"/s/d.txt", "/s/c.txt", "/s/a.txt", "/s/B2.txt", "/s/b10.txt"}));

    const struct {
        Column column;
        Qt::SortOrder order;
        QStringList shown;
    } sorts[] = {
        {Column::sizeBefore, Qt::AscendingOrder, {"/s/d.txt", "/s/B2.txt", "/s/c.txt", "/s/a.txt", "/s/b10.txt"}},
        {Column::sizeBefore, Qt::DescendingOrder, {"/s/b10.txt", "/s/c.txt", "/s/a.txt", "/s/d.txt", "/s/B2.txt"}},
        {Column::sizeAfter, Qt::AscendingOrder, {"/s/b10.txt", "/s/d.txt", "/s/c.txt", "/s/a.txt", "/s/B2.txt"}},
        {Column::duration, Qt::AscendingOrder, {"/s/c.txt", "/s/a.txt", "/s/b10.txt", "/s/d.txt", "/s/B2.txt"}},
        {Column::operation, Qt::AscendingOrder, {"/s/c.txt", "/s/a.txt", "/s/B2.txt", "/s/d.txt", "/s/b10.txt"}},
        // Texts: any case, numbers by value.
        {Column::target, Qt::AscendingOrder, {"/s/a.txt", "/s/B2.txt", "/s/b10.txt", "/s/c.txt", "/s/d.txt"}},
        {Column::algorithm, Qt::DescendingOrder, {"/s/d.txt", "/s/b10.txt", "/s/c.txt", "/s/a.txt", "/s/B2.txt"}},
        {Column::executedAt, Qt::AscendingOrder, {"/s/b10.txt", "/s/B2.txt", "/s/a.txt", "/s/c.txt", "/s/d.txt"}},
    };
    for (const auto& sort : sorts) {
        filter_->sort(sort.column, sort.order);
        EXPECT_EQ(shownPaths(), sort.shown) << "column " << int(sort.column) << ", order " << int(sort.order);
    }

    // Columns that are no sort key leave the order and the indicator as they are.
    for (const int column : {int(Column::saved), int(Column::result), int(Column::detail), -1, 10}) {
        filter_->sort(column, Qt::DescendingOrder);
        EXPECT_EQ(filter_->sortColumn(), Column::executedAt);
        EXPECT_EQ(filter_->sortOrder(), Qt::AscendingOrder);
    }

    // Rows a filter brings back take their place among equal keys by age,
    // not behind the rows already shown.
    filter_->sort(Column::sizeBefore, Qt::DescendingOrder);
    filter_->setSearchQuery(QStringLiteral("a.txt"));
    filter_->setSearchQuery(QString());
    EXPECT_EQ(shownPaths(), (QStringList{"/s/b10.txt", "/s/c.txt", "/s/a.txt", "/s/d.txt", "/s/B2.txt"}));
}

TEST_F(HistoryModelTest, CopyTakesTheShownSelectedOrGivenRowsInTheirShownOrder)
{
    const auto [grown, failed, empty, unpacked, silent] =
        kelvane::test::addHistoryCopyRecords([&](const auto&... record) { return add(record...); });
    openModels();
    filter_->sort(Column::executedAt, Qt::AscendingOrder);

    const QString header = "実行日時\t操作\t対象\t圧縮前\t圧縮後\t削減\tアルゴリズム\t所要(ms)\t結果\t詳細";
    const QStringList lines{
        date(grown) + "\t圧縮\t/w/grown.bin\t100 B\t150 B\t0 B\tLZFSE\t12\t成功\t",
        date(failed) + "\t圧縮\t/w/fail\ted.txt\t5 KB\t5 KB\t\u2014\tLZFSE\t12\t失敗\tline one line two",
        date(empty) + "\t圧縮\t/w/empty.txt\t0 B\t0 B\t0 B\tLZFSE\t12\t成功\t",
        date(unpacked) + "\t解除\t/w/unpacked.txt\t300 B\t900 B\t0 B\tLZFSE\t12\t成功\t",
        date(silent) + "\t圧縮\t/w/silent.txt\t10 B\t10 B\t\u2014\tLZFSE\t12\t失敗\t",
    };
    EXPECT_EQ(filter_->copyText(), header + '\n' + lines.join('\n'));

    // The selection, in the shown order whatever order it was made in; a
    // selected row the filter hides is not copied.
    filter_->setSelection({silent->id(), grown->id(), unpacked->id()});
    filter_->setOperationFilter(OperationFilter::compress);
    EXPECT_EQ(filter_->copyText(), header + '\n' + lines[0] + '\n' + lines[4]);
    filter_->sort(Column::executedAt, Qt::DescendingOrder);
    EXPECT_EQ(filter_->copyText(), header + '\n' + lines[4] + '\n' + lines[0]);

    // Given rows win over the selection; none of them shown is nothing to copy.
    EXPECT_EQ(filter_->copyText(HistoryIds{failed->id()}), header + '\n' + lines[1]);
    EXPECT_EQ(filter_->copyText(HistoryIds{unpacked->id()}), std::nullopt);
    EXPECT_EQ(filter_->copyText(HistoryIds{}), std::nullopt);
    filter_->setSelection({unpacked->id()});
    EXPECT_EQ(filter_->copyText(), std::nullopt);
    filter_->setSelection({});
    filter_->setSearchQuery(QStringLiteral("nowhere"));
    EXPECT_EQ(filter_->copyText(), std::nullopt);
}

TEST_F(HistoryModelTest, TheSelectionOutlivesFiltersButNotTheRecords)
{
    const auto one = add("/sel/one.txt", 10, 5, "compress", true, std::nullopt, 3);
    const auto two = add("/sel/two.txt", 10, 5, "decompress", true, std::nullopt, 2);
    const auto three = add("/sel/three.txt", 10, 5, "compress", true, std::nullopt, 1);
    openModels();
    int announced = 0;
    QObject::connect(filter_.get(), &HistoryFilterModel::selectionChanged, [&] { ++announced; });

    filter_->setSelection({one->id(), two->id()});
    filter_->setOperationFilter(OperationFilter::compress);
    // The view now selects "three" alone among the shown rows: "two", hidden, stays.
    filter_->selectShown({three->id()});
    EXPECT_EQ(filter_->selection(), (HistoryIds{two->id(), three->id()}));
    EXPECT_EQ(announced, 2);

    // A record deleted elsewhere leaves the selection once the records are read again.
    auto writer = container_->makeContext();
    for (const auto& log : writer->fetch<store::CompressionLog>())
        if (log->id() == two->id())
            writer->remove(log);
    writer->save();
    ASSERT_TRUE(waitUntil([&] { return records_->rowCount() == 2; }));
    EXPECT_EQ(filter_->selection(), (HistoryIds{three->id()}));
    EXPECT_EQ(announced, 3);
}

TEST_F(HistoryModelTest, CellsShowTheRecordAndFailureTextsEscapedLikeNames)
{
    add("/c/grown.bin", 100, 150, "compress", true, std::nullopt, 6, 42);
    add("/c/empty.txt", 0, 0, "compress", true, std::nullopt, 5);
    add("/c/saved.txt", 2000, 1000, "compress", true, std::nullopt, 4);
    add("/c/\xffodd\u202Etxt.exe", 50, 50, "decompress", false, std::nullopt, 3);
    // Written by an older version: the text holds a path as it was.
    add("/c/locked.txt", 9, 9, "compress", false, "cannot open /c/a\u202Etxt.exe\x1b[2J\nretry \u200Blater", 2);
    openModels();
    filter_->sort(Column::executedAt, Qt::AscendingOrder);

    EXPECT_EQ(cell(0, Column::operation), "圧縮");
    EXPECT_EQ(cell(0, Column::duration), "42 ms");
    EXPECT_EQ(cell(0, Column::saved), "0 B");
    EXPECT_EQ(tone(0, Column::saved), Tone::secondary);
    EXPECT_EQ(cell(1, Column::saved), "\u2014");
    EXPECT_EQ(cell(2, Column::saved), "1 KB");
    EXPECT_EQ(tone(2, Column::saved), Tone::positive);
    EXPECT_EQ(tone(2, Column::operation), Tone::accent);
    EXPECT_EQ(tone(2, Column::result), Tone::positive);
    EXPECT_TRUE(cell(2, Column::result).isEmpty());
    EXPECT_EQ(cell(2, Column::result, Qt::ToolTipRole), "成功");
    EXPECT_TRUE(cell(2, Column::detail).isEmpty());

    EXPECT_EQ(cell(3, Column::operation), "解除");
    EXPECT_EQ(tone(3, Column::operation), Tone::secondary);
    EXPECT_EQ(cell(3, Column::target), "/c/\\xFFodd\\u202Etxt.exe");
    EXPECT_EQ(cell(3, Column::target, Qt::ToolTipRole), cell(3, Column::target));
    EXPECT_EQ(tone(3, Column::target), Tone::plain);
    EXPECT_EQ(cell(3, Column::detail), "失敗");
    EXPECT_EQ(tone(3, Column::result), Tone::negative);
    EXPECT_EQ(cell(3, Column::result, Qt::ToolTipRole), "失敗");

    // One line in the cell, the line break kept in the tooltip; every
    // invisible or controlling character written out.
    EXPECT_EQ(cell(4, Column::detail), "cannot open /c/a\\u202Etxt.exe\\x1B[2J retry \\u200Blater");
    const QString full = "cannot open /c/a\\u202Etxt.exe\\x1B[2J\nretry \\u200Blater";
    EXPECT_EQ(cell(4, Column::detail, Qt::ToolTipRole), full);
    EXPECT_EQ(cell(4, Column::detail, Qt::AccessibleTextRole), full);
    EXPECT_EQ(cell(4, Column::result, Qt::ToolTipRole), full);
    EXPECT_EQ(tone(4, Column::detail), Tone::negative);
    // The copy keeps the text as it was, on one line.
    filter_->setSearchQuery(QStringLiteral("locked"));
    const auto copied = filter_->copyText();
    ASSERT_TRUE(copied.has_value());
    EXPECT_TRUE(copied->endsWith("\t失敗\tcannot open /c/a\u202Etxt.exe\x1b[2J retry \u200Blater")) << copied->toStdString();
}

TEST_F(HistoryModelTest, BytesSavedCountSuccessfulCompressionsOnlyAndNeverWrap)
{
    openModels();
    EXPECT_EQ(records_->bytesSaved(), 0);
    add("/f/a", 1000, 400);
    add("/f/grown", 100, 300);
    add("/f/failed", 1000, 10, "compress", false);
    add("/f/unpacked", 10, 1000, "decompress");
    add("/f/other", 1000, 10, "recompress");
    ASSERT_TRUE(waitUntil([&] { return records_->rowCount() == 5; }));
    EXPECT_EQ(records_->bytesSaved(), 600);

    // A difference that does not fit counts as nothing; a sum that does not fit stops at the top.
    add("/f/odd", INT64_MIN, 1);
    ASSERT_TRUE(waitUntil([&] { return records_->rowCount() == 6; }));
    EXPECT_EQ(records_->bytesSaved(), 600);
    add("/f/huge1", INT64_MAX, 0);
    add("/f/huge2", INT64_MAX, 0);
    ASSERT_TRUE(waitUntil([&] { return records_->rowCount() == 8; }));
    EXPECT_EQ(records_->bytesSaved(), INT64_MAX);
}

TEST_F(HistoryModelTest, DeleteAllEmptiesTheStoreOrKeepsEveryRowAndSaysWhy)
{
    add("/d/one.txt", 10, 5);
    add("/d/two.txt", 10, 5, "decompress");

    // Through a context that cannot write: nothing goes, the reason comes back.
    auto readOnly = container_->makeContext(store::ModelContext::Access::readOnly);
    openModels(readOnly.get());
    const auto failure = records_->deleteAll();
    ASSERT_TRUE(failure.has_value());
    EXPECT_FALSE(failure->isEmpty());
    EXPECT_EQ(records_->rowCount(), 2);
    EXPECT_EQ(container_->mainContext().fetch<store::CompressionLog>().size(), 2u);

    // Every record goes, hidden ones too.
    openModels();
    filter_->setOperationFilter(OperationFilter::decompress);
    EXPECT_EQ(records_->deleteAll(), std::nullopt);
    EXPECT_EQ(records_->rowCount(), 0);
    EXPECT_EQ(filter_->rowCount(), 0);
    EXPECT_EQ(records_->bytesSaved(), 0);
    auto reader = container_->makeContext(store::ModelContext::Access::readOnly);
    EXPECT_TRUE(reader->fetch<store::CompressionLog>().empty());
}

TEST_F(HistoryModelTest, RecordsSavedOrRemovedElsewhereAreReadAgain)
{
    openModels();
    int resets = 0;
    QObject::connect(records_.get(), &QAbstractItemModel::modelReset, [&] { ++resets; });
    auto writer = container_->makeContext();
    auto log = std::make_shared<store::CompressionLog>(store::Uuid::random(), now_, "compress", "/live/new.txt", 100, 10,
                                                       "LZFSE", 1, true);
    writer->insert(log);
    writer->save();
    ASSERT_TRUE(waitUntil([&] { return records_->rowCount() == 1; }));
    EXPECT_EQ(filter_->rowCount(), 1);
    EXPECT_EQ(records_->bytesSaved(), 90);
    writer->remove(log);
    writer->save();
    ASSERT_TRUE(waitUntil([&] { return records_->rowCount() == 0; }));
    EXPECT_EQ(filter_->rowCount(), 0);
    EXPECT_EQ(resets, 2);
}

}  // namespace
}  // namespace kelvane::operations::test
