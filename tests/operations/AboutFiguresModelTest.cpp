// SPDX-License-Identifier: MIT
#include "operations/windows/AboutFiguresModel.h"
#include "operations/windows/LogExportModel.h"

#include "OperationsTestSupport.h"
#include "display/Formatters.h"
#include "store/CompressionLog.h"
#include "support/TempDir.h"


#include <atomic>
#include <future>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace kelvane::operations::test {
namespace {

namespace fs = std::filesystem;
using Figure = AboutFigure;

// Counts the emissions of a signal.
template <class Object, class Signal>
std::shared_ptr<int> counter(Object* object, Signal signal)
{
    auto count = std::make_shared<int>(0);
    QObject::connect(object, signal, object, [count] { ++*count; });
    return count;
}

std::shared_ptr<store::CompressionLog> makeLog(std::int64_t before, std::int64_t after,
                                               const std::string& operation = "compress", bool success = true)
{
    return std::make_shared<store::CompressionLog>(store::Uuid::random(), std::chrono::system_clock::now(), operation,
                                                   "/a.txt", before, after, "LZFSE", 12, success);
}

class AboutFiguresModelTest : public StoreFixture {
protected:
    // A model whose snapshots are the given ones, in turn (the last one repeats).
    std::unique_ptr<AboutFiguresModel> model(std::vector<AboutDiagnostics> snapshots = {AboutDiagnostics{}})
    {
        auto shared = std::make_shared<std::vector<AboutDiagnostics>>(std::move(snapshots));
        auto next = std::make_shared<std::atomic<std::size_t>>(0);
        AboutFiguresModel::Program program{"1.4.2", std::nullopt, "org.example.kelvane", [shared, next] {
                                               const std::size_t i = (*next)++;
                                               return (*shared)[std::min(i, shared->size() - 1)];
                                           }};
        return std::make_unique<AboutFiguresModel>(container_, std::move(program));
    }

    void save(const std::shared_ptr<store::CompressionLog>& log)
    {
        container_->mainContext().insert(log);
        container_->mainContext().save();
    }
};

TEST_F(AboutFiguresModelTest, CountsAndTheSavingFollowSavesFromAnyContext)
{
    auto figures = model();
    EXPECT_EQ(figures->text(Figure::registeredCount), "0 件");
    EXPECT_EQ(figures->text(Figure::logCount), "0 件");
    EXPECT_EQ(figures->text(Figure::bytesSaved), display::formatBytes(0));

    save(makeLog(10000, 4000));                      // saves 6000
    save(makeLog(10000, 12000));                     // grew: nothing
    save(makeLog(10000, 1000, "compress", false));   // failed: nothing
    save(makeLog(1000, 9000, "decompress"));         // nothing
    registerItem(container_->mainContext(), dir_.path(), "folder");
    ASSERT_TRUE(waitUntil([&] { return figures->registeredCount() == 1; }));
    EXPECT_EQ(figures->logCount(), 4);
    EXPECT_EQ(figures->bytesSaved(), 6000);
    EXPECT_EQ(figures->text(Figure::logCount), "4 件");
    EXPECT_EQ(figures->text(Figure::bytesSaved), display::formatBytes(6000));

    // A save on another thread is read again on the model's own.
    std::thread worker([this] {
        auto context = container_->makeContext();
        context->insert(makeLog(5000, 1000));
        context->save();
    });
    worker.join();
    ASSERT_TRUE(waitUntil([&] { return figures->logCount() == 5; }));
    EXPECT_EQ(figures->bytesSaved(), 10000);
    EXPECT_EQ(figures->text(Figure::registeredCount), "1 件");
}

TEST_F(AboutFiguresModelTest, SavingsThatOverflowAddUpToTheLargestCountNotAWrappedOne)
{
    auto figures = model();
    constexpr std::int64_t most = std::numeric_limits<std::int64_t>::max();
    save(makeLog(most, 0));
    save(makeLog(most, 1));
    save(makeLog(std::numeric_limits<std::int64_t>::min(), 0));  // a nonsense record
    save(makeLog(0, std::numeric_limits<std::int64_t>::min()));  // its difference does not fit
    ASSERT_TRUE(waitUntil([&] { return figures->logCount() == 4; }));
    EXPECT_EQ(figures->bytesSaved(), most);
}

TEST_F(AboutFiguresModelTest, ProgramFactsFallBackOnAQuestionMark)
{
    auto figures = model();
    EXPECT_EQ(figures->text(Figure::version), "1.4.2 (build ?)");
    EXPECT_EQ(figures->text(Figure::bundleIdentifier), "org.example.kelvane");
    AboutFiguresModel bare(container_, {});
    EXPECT_EQ(bare.text(Figure::version), "? (build ?)");
    EXPECT_EQ(bare.text(Figure::bundleIdentifier), "?");
}

TEST_F(AboutFiguresModelTest, SnapshotFiguresArePlaceholdersUntilMeasuredThenClampedAndDated)
{
    AboutDiagnostics snapshot;
    snapshot.bundleSizeBytes = std::numeric_limits<std::uint64_t>::max();
    snapshot.dbSizeBytes = 4096;
    snapshot.residentMemoryBytes = 3 * 1024 * 1024;
    snapshot.launchCount = 7;
    snapshot.firstLaunchAt = QDateTime(QDate(2026, 1, 2), QTime(3, 4));
    snapshot.processStartedAt = QDateTime(QDate(2026, 5, 1), QTime(10, 0));
    auto figures = model({snapshot});
    figures->setClock([] { return QDateTime(QDate(2026, 5, 1), QTime(11, 2, 3, 900)); });

    for (const auto figure : {Figure::appSize, Figure::databaseSize, Figure::residentMemory}) {
        EXPECT_EQ(figures->text(figure), "計測中…") << int(figure);
        EXPECT_EQ(figures->toolTip(figure), "") << int(figure);
    }
    for (const auto figure : {Figure::launchCount, Figure::firstLaunch, Figure::previousLaunch, Figure::uptime})
        EXPECT_EQ(figures->text(figure), "—") << int(figure);
    EXPECT_FALSE(figures->isShown(Figure::applicationSupport));

    auto measured = counter(figures.get(), &AboutFiguresModel::diagnosticsChanged);
    figures->measureOnce();
    ASSERT_TRUE(waitUntil([&] { return *measured == 1; }));
    constexpr std::int64_t most = std::numeric_limits<std::int64_t>::max();
    EXPECT_EQ(figures->text(Figure::appSize), display::formatBytes(most));
    EXPECT_EQ(figures->toolTip(Figure::appSize), display::formatExactBytes(most));
    EXPECT_EQ(figures->text(Figure::databaseSize), display::formatBytes(4096));
    EXPECT_EQ(figures->toolTip(Figure::residentMemory), display::formatExactBytes(3 * 1024 * 1024));
    EXPECT_EQ(figures->text(Figure::launchCount), "7 回");
    EXPECT_EQ(figures->text(Figure::firstLaunch), display::dateTimeFormatter().string(*snapshot.firstLaunchAt));
    EXPECT_EQ(figures->text(Figure::previousLaunch), "—") << "the very first launch has none";
    EXPECT_EQ(figures->text(Figure::uptime), "1 時間 2 分 3 秒");
    EXPECT_EQ(figures->toolTip(Figure::launchCount), "");
    // No support folder in the snapshot: its row stays out.
    EXPECT_FALSE(figures->isShown(Figure::applicationSupport));
    EXPECT_TRUE(figures->isShown(Figure::home));
}

TEST_F(AboutFiguresModelTest, TheFirstShowingMeasuresOnceAndEveryRequestAgainTheLaterArrivalStays)
{
    AboutDiagnostics first;
    first.launchCount = 1;
    first.applicationSupportDir = QStringLiteral("/data/Kelvane");
    AboutDiagnostics second;
    second.launchCount = 2;
    auto figures = model({first, second});
    auto measured = counter(figures.get(), &AboutFiguresModel::diagnosticsChanged);
    figures->measureOnce();
    figures->measureOnce();
    ASSERT_TRUE(waitUntil([&] { return *measured == 1; }));
    figures->measureOnce();
    EXPECT_EQ(figures->collectionsStarted(), 1);
    EXPECT_EQ(figures->text(Figure::launchCount), "1 回");
    EXPECT_TRUE(figures->isShown(Figure::applicationSupport));
    EXPECT_EQ(figures->text(Figure::applicationSupport), "/data/Kelvane");

    figures->refreshDiagnostics();
    ASSERT_TRUE(waitUntil([&] { return *measured == 2; }));
    EXPECT_EQ(figures->collectionsStarted(), 2);
    EXPECT_EQ(figures->text(Figure::launchCount), "2 回");
    EXPECT_FALSE(figures->isShown(Figure::applicationSupport));
    EXPECT_EQ(figures->text(Figure::applicationSupport), "");
}

TEST_F(AboutFiguresModelTest, OfTwoCollectionsTheOneThatArrivesLastStays)
{
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto calls = std::make_shared<std::atomic<int>>(0);
    AboutFiguresModel::Program program;
    program.collect = [released, calls] {
        AboutDiagnostics snapshot;
        snapshot.launchCount = ++*calls;
        if (snapshot.launchCount == 1)
            released.wait_for(std::chrono::seconds(30));  // the first is slow
        return snapshot;
    };
    AboutFiguresModel figures(container_, std::move(program));
    auto measured = counter(&figures, &AboutFiguresModel::diagnosticsChanged);
    figures.refreshDiagnostics();
    ASSERT_TRUE(waitUntil([&] { return *calls == 1; }));
    figures.refreshDiagnostics();
    ASSERT_TRUE(waitUntil([&] { return *measured == 1; }));
    EXPECT_EQ(figures.text(Figure::launchCount), "2 回");
    release.set_value();
    ASSERT_TRUE(waitUntil([&] { return *measured == 2; }));
    EXPECT_EQ(figures.text(Figure::launchCount), "1 回");
}

TEST(AboutUptimeTest, UptimeTextsSwitchUnitsAtTheMinuteAndTheHourWithoutFoldingDays)
{
    EXPECT_EQ(AboutFiguresModel::formatUptime(0), "0 秒");
    EXPECT_EQ(AboutFiguresModel::formatUptime(59.9), "59 秒");
    EXPECT_EQ(AboutFiguresModel::formatUptime(60), "1 分 0 秒");
    EXPECT_EQ(AboutFiguresModel::formatUptime(3599), "59 分 59 秒");
    EXPECT_EQ(AboutFiguresModel::formatUptime(3600), "1 時間 0 分 0 秒");
    EXPECT_EQ(AboutFiguresModel::formatUptime(86400 + 3600 + 60 + 1), "25 時間 1 分 1 秒");
}

// ---------------------------------------------------------------- log export

class LogExportModelTest : public ::testing::Test {
protected:
    void SetUp() override { application(); }

    std::unique_ptr<LogExportModel> model()
    {
        return std::make_unique<LogExportModel>([this](double hours) {
            std::lock_guard lock(mutex_);
            asked_.push_back(hours);
            if (fails_)
                throw std::runtime_error("log store unavailable");
            return text_;
        });
    }

    // Runs one export to its end; `destination` is where the user saves it.
    bool exportTo(LogExportModel& exporter, const fs::path& destination, bool* askedWhere = nullptr)
    {
        auto finished = counter(&exporter, &LogExportModel::finished);
        exporter.start([&exporter, destination, askedWhere](std::string text) {
            if (askedWhere)
                *askedWhere = true;
            exporter.save(text, destination);
        });
        const bool ended = waitUntil([&] { return *finished == 1; });
        QObject::disconnect(&exporter, &LogExportModel::finished, nullptr, nullptr);
        return ended;
    }

    std::mutex mutex_;
    std::vector<double> asked_;
    bool fails_ = false;
    std::string text_ = "# Kelvane ログ\n2026-01-02 03:04:05 ui 起動しました\n";
    kelvane::test::TempDir dir_;
};

TEST_F(LogExportModelTest, TheChosenSpanIsWrittenWholeAndFailuresAreKeptUntilTheNextExport)
{
    text_.push_back('\0');
    text_ += "after a zero byte";
    auto exporter = model();
    EXPECT_EQ(exporter->range(), LogExportModel::Range::lastDay);
    const fs::path destination = dir_.path() / "exported.txt";
    ASSERT_TRUE(exportTo(*exporter, destination));
    EXPECT_FALSE(exporter->error());
    EXPECT_FALSE(exporter->isExporting());
    EXPECT_EQ(kelvane::test::readRawFile(destination), std::vector<std::uint8_t>(text_.begin(), text_.end()));

    // A destination inside a file: the old file stays as it was.
    exporter->setRange(LogExportModel::Range::lastHour);
    ASSERT_TRUE(exportTo(*exporter, destination / "inside-a-file.txt"));
    ASSERT_TRUE(exporter->error());
    EXPECT_TRUE(exporter->error()->startsWith("ファイル保存に失敗しました: ")) << exporter->error()->toStdString();
    EXPECT_EQ(kelvane::test::readRawFile(destination).size(), text_.size());

    // Cancelling clears the old failure.
    exporter->setRange(LogExportModel::Range::lastWeek);
    ASSERT_TRUE(exportTo(*exporter, {}));
    EXPECT_FALSE(exporter->error());

    // A log that cannot be read asks for no destination.
    fails_ = true;
    bool askedWhere = false;
    ASSERT_TRUE(exportTo(*exporter, destination, &askedWhere));
    EXPECT_FALSE(askedWhere);
    EXPECT_EQ(exporter->error(), QStringLiteral("ログ取得に失敗しました: log store unavailable"));
    std::lock_guard lock(mutex_);
    EXPECT_EQ(asked_, (std::vector<double>{24, 1, 168, 168}));
}

TEST_F(LogExportModelTest, ASecondStartWhileExportingAndASaveWithoutAnExportDoNothing)
{
    auto exporter = model();
    const fs::path stray = dir_.path() / "stray.txt";
    exporter->save("nothing asked for this", stray);
    EXPECT_FALSE(fs::exists(stray));

    auto started = counter(exporter.get(), &LogExportModel::started);
    auto finished = counter(exporter.get(), &LogExportModel::finished);
    std::string pending;
    int reads = 0;
    exporter->start([&](std::string text) {
        ++reads;
        pending = std::move(text);
    });
    exporter->start([&](std::string) { ++reads; });
    EXPECT_EQ(*started, 1);
    EXPECT_TRUE(exporter->isExporting());
    ASSERT_TRUE(waitUntil([&] { return reads == 1; }));
    EXPECT_TRUE(exporter->isExporting()) << "still waiting for where to save";
    exporter->save(pending, dir_.path() / "log.txt");
    EXPECT_EQ(*finished, 1);
    EXPECT_FALSE(exporter->isExporting());
    EXPECT_EQ(reads, 1);
    std::lock_guard lock(mutex_);
    EXPECT_EQ(asked_.size(), 1u);
}

}  // namespace
}  // namespace kelvane::operations::test
