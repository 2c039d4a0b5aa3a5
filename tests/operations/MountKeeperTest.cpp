// SPDX-License-Identifier: MIT
// The mount keeper makes each registered item served by a live kelvanefs
// mount, or says why it cannot, and touches nothing then.

#include "operations/MountKeeperFixture.h"

#include "engine/FileCompressor.h"
#include "engine/FileCompressionInspector.h"
#include "engine/FileCompressionError.h"
#include "engine/Eligibility.h"
#include "operations/bulk/BulkOperationRunner.h"
#include "operations/bulk/OperationProgress.h"
#include "operations/mounts/MountKeeper.h"
#include "operations/mounts/RegisteredMounts.h"
#include "operations/GeneratedFiles.h"
#include "operations/OperationsTestSupport.h"
#include "platform/KelvanefsMount.h"
#include "support/KelvanefsMounts.h"
#include "support/ScopedEnvironment.h"

#include <sys/mount.h>

#include <map>
#include <random>
#include <set>
#include <thread>

namespace kelvane::operations {
namespace {

using fs::test::Bytes;
using fs::test::Path;
using discovery::ItemKind;
using Kind = MountRefusal::Kind;

// Every kelvanefs mount at or below `folder`, as the table lists them.
std::vector<Path> kelvanefsMountsIn(const Path& folder)
{
    std::vector<Path> out;
    const auto table = platform::MountTable::read("/proc");
    for (const auto& entry : table->entries())
        if (entry.fsType == platform::kKelvanefsType &&
            (entry.mountPoint == folder || entry.mountPoint.native().starts_with(folder.native() + "/")))
            out.push_back(entry.mountPoint);
    return out;
}

std::string describe(const MountOutcome& outcome)
{
    if (const auto* served = std::get_if<MountServed>(&outcome))
        return "served by " + served->mountPoint.string();
    return "refused: " + std::get<MountRefusal>(outcome).text();
}

::testing::AssertionResult servedBy(const MountOutcome& outcome, const Path& mountPoint)
{
    const auto* served = std::get_if<MountServed>(&outcome);
    if (served && served->mountPoint == mountPoint && fs::test::isKelvanefsMountAt(mountPoint))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << describe(outcome) << ", wanted a live mount at " << mountPoint;
}

::testing::AssertionResult refusedAs(const MountOutcome& outcome, Kind kind)
{
    const auto* refusal = std::get_if<MountRefusal>(&outcome);
    if (refusal && refusal->kind == kind)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << describe(outcome);
}

// For the life of the object, the engine's mount rule as the programs have
// it: on, with `serve` asked for a file's folder before a file is refused.
class RuleAsInThePrograms {
public:
    explicit RuleAsInThePrograms(engine::Eligibility::ServeFolder serve)
    {
        engine::Eligibility::setServeFolder(std::move(serve));
        engine::Eligibility::enforceMountRule(true);
    }
    ~RuleAsInThePrograms()
    {
        engine::Eligibility::enforceMountRule(false);
        engine::Eligibility::setServeFolder({});
    }
    RuleAsInThePrograms(const RuleAsInThePrograms&) = delete;
    RuleAsInThePrograms& operator=(const RuleAsInThePrograms&) = delete;
};

class MountKeeperTest : public test::MountKeeperFixture {
protected:
    void SetUp() override
    {
        MountKeeperFixture::SetUp();
        settings_.userUnits = false;  // no user manager in tests: kelvanefs is started here
    }

    void TearDown() override
    {
        // Mounts the keeper made run detached: removed here, innermost first.
        for (int round = 0; round < 4 && !kelvanefsMountsIn(root()).empty(); ++round) {
            auto mounts = kelvanefsMountsIn(root());
            for (auto it = mounts.rbegin(); it != mounts.rend(); ++it)
                if (fs::test::runProgram({"fusermount3", "-u", it->string()}) != 0)
                    fs::test::runProgram({"fusermount3", "-u", "-z", it->string()});
        }
        MountKeeperFixture::TearDown();
    }

    Path root() const { return temp_.path(); }
    MountKeeper keeper() const { return MountKeeper(settings_); }
};

TEST_F(MountKeeperTest, AFolderIsMountedOverItselfAndAFileGetsItsFolderMounted)
{
    std::filesystem::create_directories(folder() / "sub");
    kelvane::test::writeRawFile(folder() / "sub" / "notes.txt", Bytes{'h', 'i'});
    EXPECT_TRUE(servedBy(keeper().ensureServed(folder(), ItemKind::folder), folder()));
    EXPECT_EQ(fs::test::readAll(folder() / "sub" / "notes.txt"), (Bytes{'h', 'i'}));
    // Asked again, the live mount serves: no second mount.
    EXPECT_TRUE(servedBy(keeper().ensureServed(folder(), ItemKind::folder), folder()));
    EXPECT_EQ(kelvanefsMountsIn(root()).size(), 1u);

    const Path other = root() / "other";
    std::filesystem::create_directories(other);
    kelvane::test::writeRawFile(other / "single.bin", Bytes(100, 7));
    EXPECT_TRUE(servedBy(keeper().ensureServed(other / "single.bin", ItemKind::file), other));
}

TEST_F(MountKeeperTest, NestedRegistrationsShareTheMountOfTheOuterFolder)
{
    std::filesystem::create_directories(folder() / "inner" / "deeper");
    kelvane::test::writeRawFile(folder() / "inner" / "deeper" / "a.log", Bytes(10, 'a'));
    ASSERT_TRUE(servedBy(keeper().ensureServed(folder(), ItemKind::folder), folder()));
    EXPECT_TRUE(servedBy(keeper().ensureServed(folder() / "inner", ItemKind::folder), folder()));
    EXPECT_TRUE(servedBy(keeper().ensureServed(folder() / "inner" / "deeper" / "a.log", ItemKind::file), folder()));
    EXPECT_EQ(kelvanefsMountsIn(root()), std::vector<Path>{folder()});
}

TEST_F(MountKeeperTest, AKilledDaemonsDeadMountIsMadeAgainWithNothingLost)
{
    std::filesystem::create_directories(folder() / "inner");
    const Bytes text(200'000, 'k');
    kelvane::test::writeRawFile(folder() / "inner" / "kept.txt", text);
    fs::test::Mount& mount = mountFolder({});  // no auto_unmount: the mount stays dead
    mount.kill();
    ASSERT_EQ(platform::kelvanefsMountState(folder())->health, platform::KelvanefsMountHealth::dead);

    // Asked for a folder inside it: the dead mount above is made again where it was.
    EXPECT_TRUE(servedBy(keeper().ensureServed(folder() / "inner", ItemKind::folder), folder()));
    EXPECT_EQ(platform::kelvanefsMountState(folder())->health, platform::KelvanefsMountHealth::live);
    EXPECT_EQ(fs::test::readAll(folder() / "inner" / "kept.txt"), text);
    EXPECT_EQ(kelvanefsMountsIn(root()), std::vector<Path>{folder()}) << "the dead mount is gone, one live one is there";

    // Asked for the mount point itself, which does not even say it is a folder once dead.
    ASSERT_TRUE(kelvane::test::killKelvanefsDaemon(folder()));
    EXPECT_TRUE(servedBy(keeper().ensureServed(folder(), ItemKind::folder), folder()));
    EXPECT_EQ(fs::test::readAll(folder() / "inner" / "kept.txt"), text);
    EXPECT_EQ(kelvanefsMountsIn(root()), std::vector<Path>{folder()});
}

// As the programs run: the rule on, and the keeper asked for a file's folder
// before a file is refused. A daemon killed between two actions is made
// again by the next one, and nothing is compressed while no mount serves.
TEST_F(MountKeeperTest, TheNextCompressionAfterADaemonWasKilledMountsAgainFirst)
{
    std::filesystem::create_directories(folder());
    const Bytes text = [] {
        Bytes bytes;
        for (int i = 0; bytes.size() < 300'000; ++i) {
            const std::string line = "line " + std::to_string(i % 977) + " of a log that compresses\n";
            bytes.insert(bytes.end(), line.begin(), line.end());
        }
        return bytes;
    }();
    kelvane::test::writeRawFile(folder() / "first.log", text);
    kelvane::test::writeRawFile(folder() / "second.log", text);
    ASSERT_TRUE(servedBy(keeper().ensureServed(folder(), ItemKind::folder), folder()));

    std::vector<Path> askedFor;
    const MountKeeper programKeeper = keeper();
    const RuleAsInThePrograms rule([&](const Path& asked) {
        askedFor.push_back(asked);
        programKeeper.ensureServed(asked, ItemKind::folder);
    });

    engine::FileCompressor{}.compressFile(folder() / "first.log");
    EXPECT_TRUE(askedFor.empty()) << "a live mount needs no keeper";

    ASSERT_TRUE(kelvane::test::killKelvanefsDaemon(folder()));

    engine::FileCompressor{}.compressFile(folder() / "second.log");
    EXPECT_EQ(askedFor, std::vector<Path>{folder()});
    EXPECT_EQ(platform::kelvanefsMountState(folder())->health, platform::KelvanefsMountHealth::live);
    for (const char* name : {"first.log", "second.log"})
        EXPECT_EQ(fs::test::readAll(folder() / name), text) << name << " through the mount";

    // Where no mount can be made, the file is refused and left as it was.
    kelvane::test::writeRawFile(folder() / "third.log", text);
    ASSERT_TRUE(kelvane::test::killKelvanefsDaemon(folder()));
    settings_.kelvanefs = root() / "no-kelvanefs";
    const MountKeeper failingKeeper = keeper();
    engine::Eligibility::setServeFolder([&](const Path& asked) { failingKeeper.ensureServed(asked, ItemKind::folder); });
    try {
        engine::FileCompressor{}.compressFile(folder() / "third.log");
        ADD_FAILURE() << "compressed where no mount serves";
    } catch (const engine::FileCompressionError& error) {
        EXPECT_EQ(error.kind(), engine::FileCompressionError::Kind::notServedByMount) << error.description();
    }
    settings_.kelvanefs = fs::test::kKelvanefs;
    ASSERT_TRUE(servedBy(keeper().ensureServed(folder(), ItemKind::folder), folder()));
    EXPECT_EQ(fs::test::readAll(folder() / "third.log"), text);
    engine::FileCompressionInspector inspector;
    EXPECT_EQ(inspector.inspect(folder() / "third.log").status.as<engine::FileCompressionStatus::compressed>(), nullptr);
}

// The daemon is killed while the window's bulk run works in its folder: the
// files being worked on finish through the folder below, the next ones get
// the mount made again, and every file reads as it was.
TEST_F(MountKeeperTest, ADaemonKilledDuringABulkRunIsMadeAgainAndNoFileIsLost)
{
    std::filesystem::create_directories(folder());
    std::mt19937 rng(17);
    std::map<Path, Bytes> originals;
    std::vector<DisplayRow> rows;
    for (int i = 0; i < 160; ++i) {
        DisplayRow row;
        row.id = test::rowId("f" + std::to_string(i));
        row.url = folder() / ("f" + std::to_string(i) + ".txt");
        originals[row.url] = test::textBytes(rng, 120'000);
        kelvane::test::writeRawFile(row.url, originals[row.url]);
        row.displayName = row.url.filename().string();
        row.logicalSize = 120'000;
        rows.push_back(row);
    }
    ASSERT_TRUE(servedBy(keeper().ensureServed(folder(), ItemKind::folder), folder()));
    const MountKeeper programKeeper = keeper();
    const RuleAsInThePrograms rule([&](const Path& asked) { programKeeper.ensureServed(asked, ItemKind::folder); });

    const BulkOperationRunner::Run run =
        BulkOperationRunner::startOperation(ActiveOperation::Kind::compress, rows, nullptr, nullptr);
    ASSERT_TRUE(test::waitUntil([&] { return run.progress->succeededCount() >= 1 || run.task.isFinished(); }));
    const bool killedDuringTheRun = !run.task.isFinished();
    ASSERT_TRUE(kelvane::test::killKelvanefsDaemon(folder()));
    ASSERT_TRUE(test::waitUntil([&] { return run.task.isFinished(); }, std::chrono::minutes(5)));

    std::string failures;
    for (const auto& failure : run.progress->failures())
        failures += failure.fileName + ": " + failure.reason + "\n";
    EXPECT_TRUE(failures.empty()) << failures;
    EXPECT_EQ(run.progress->succeededCount() + run.progress->skippedCount(), 160);
    if (killedDuringTheRun) {
        EXPECT_EQ(platform::kelvanefsMountState(folder())->health, platform::KelvanefsMountHealth::live)
            << "the files after the kill had the mount made again";
    }
    ASSERT_TRUE(servedBy(keeper().ensureServed(folder(), ItemKind::folder), folder()));
    for (const auto& [path, bytes] : originals)
        EXPECT_EQ(fs::test::readAll(path), bytes) << path << " through the mount";
}

TEST_F(MountKeeperTest, MissingFoldersAndThePlacesAboveTheHomeAreRefusedAndNothingIsMounted)
{
    const Path moved = root() / "moved";
    std::filesystem::create_directories(moved);
    std::filesystem::rename(moved, root() / "elsewhere");
    EXPECT_TRUE(refusedAs(keeper().ensureServed(moved, ItemKind::folder), Kind::folderMissing));
    EXPECT_TRUE(refusedAs(keeper().ensureServed(moved / "file.txt", ItemKind::file), Kind::folderMissing));
    EXPECT_TRUE(refusedAs(keeper().ensureServed(root() / "home", ItemKind::folder), Kind::homeFolder));
    EXPECT_TRUE(refusedAs(keeper().ensureServed(root(), ItemKind::folder), Kind::homeFolder));
    EXPECT_TRUE(refusedAs(keeper().ensureServed(root() / "home" / "notes.txt", ItemKind::file), Kind::homeFolder))
        << "a file directly in the home folder would need the home mounted";
    EXPECT_TRUE(refusedAs(keeper().ensureServed("/", ItemKind::folder), Kind::rootFolder));
    EXPECT_TRUE(kelvanefsMountsIn(root()).empty());
    EXPECT_FALSE(fs::test::isKelvanefsMountAt("/"));
    // The reason names the place.
    const auto refusal = std::get<MountRefusal>(keeper().ensureServed(moved, ItemKind::folder));
    EXPECT_NE(refusal.text().find(moved.string()), std::string::npos) << refusal.text();
}

TEST_F(MountKeeperTest, ALinkToAFolderIsServedByTheMountOfTheFolderItNames)
{
    const Path link = root() / "link";
    std::filesystem::create_directory_symlink(folder(), link);
    EXPECT_TRUE(servedBy(keeper().ensureServed(link, ItemKind::folder), folder()));
    EXPECT_TRUE(std::filesystem::is_symlink(link)) << "the link itself is left as it was";
    EXPECT_EQ(kelvanefsMountsIn(root()), std::vector<Path>{folder()});
}

TEST_F(MountKeeperTest, AFolderThatIsTheMountPointOfAnotherFileSystemIsMountedOver)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a tmpfs needs root";
    ASSERT_EQ(::mount("tmpfs", folder().c_str(), "tmpfs", 0, "size=4m"), 0) << std::strerror(errno);
    struct Unmount {
        Path point;
        ~Unmount() { ::umount2(point.c_str(), MNT_DETACH); }
    } tmpfs{folder()};
    kelvane::test::writeRawFile(folder() / "on-tmpfs.txt", Bytes{'t'});
    EXPECT_TRUE(servedBy(keeper().ensureServed(folder(), ItemKind::folder), folder()));
    EXPECT_EQ(fs::test::readAll(folder() / "on-tmpfs.txt"), Bytes{'t'});
    ASSERT_EQ(fs::test::runProgram({"fusermount3", "-u", folder().string()}), 0);
}

TEST_F(MountKeeperTest, WithoutAUsableFuseNothingIsMountedAndTheReasonIsGiven)
{
    std::filesystem::create_directories(folder());
    settings_.tools.device = root() / "no-such-device";
    EXPECT_TRUE(refusedAs(keeper().ensureServed(folder(), ItemKind::folder), Kind::fuseDeviceMissing));

    settings_.tools.device = "/dev/fuse";
    const Path failing = root() / "fusermount3";
    std::ofstream(failing) << "#!/bin/sh\necho \"fusermount3: not allowed\" >&2\nexit 1\n";
    std::filesystem::permissions(failing, std::filesystem::perms::owner_all);
    settings_.tools.fusermount = failing;
    const MountOutcome outcome = keeper().ensureServed(folder(), ItemKind::folder);
    ASSERT_TRUE(refusedAs(outcome, Kind::fusermountFails));
    EXPECT_NE(std::get<MountRefusal>(outcome).text().find("not allowed"), std::string::npos)
        << "what fusermount3 said is in the reason";

    settings_.tools.fusermount = root() / "missing-fusermount3";
    EXPECT_TRUE(refusedAs(keeper().ensureServed(folder(), ItemKind::folder), Kind::fusermountMissing));
    EXPECT_TRUE(kelvanefsMountsIn(root()).empty());

    // The real program takes the same settings from its environment.
    kelvane::test::ScopedEnvironment device("KELVANE_FUSE_DEVICE", (root() / "no-such-device").string());
    kelvane::test::ScopedEnvironment fusermount("KELVANE_FUSERMOUNT", failing.string());
    const MountKeeperSettings fromEnvironment = MountKeeperSettings::fromEnvironment();
    EXPECT_EQ(fromEnvironment.tools.device, root() / "no-such-device");
    EXPECT_EQ(fromEnvironment.tools.fusermount, failing);
}

TEST_F(MountKeeperTest, KeepersStartingTheSameMountAtOnceMakeOneMount)
{
    std::filesystem::create_directories(folder());
    // kelvanefs refuses a folder mounted already, so extra starts could
    // pass unseen: each start is counted.
    const Path starts = root() / "starts";
    const Path counting = root() / "counting-kelvanefs";
    std::ofstream(counting) << "#!/bin/sh\necho started >> '" << starts.string() << "'\nexec '"
                            << fs::test::kKelvanefs.string() << "' \"$@\"\n";
    std::filesystem::permissions(counting, std::filesystem::perms::owner_all);
    settings_.kelvanefs = counting;
    constexpr int kKeepers = 4;
    std::vector<MountOutcome> outcomes(kKeepers);
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kKeepers; ++i)
        threads.emplace_back([&, i] {
            const MountKeeper mine(settings_);
            ++ready;
            while (ready.load() < kKeepers) {
            }
            outcomes[i] = mine.ensureServed(folder(), ItemKind::folder);
        });
    for (auto& thread : threads)
        thread.join();
    for (const auto& outcome : outcomes)
        EXPECT_TRUE(servedBy(outcome, folder()));
    EXPECT_EQ(kelvanefsMountsIn(root()), std::vector<Path>{folder()});
    std::string started;
    std::getline(std::ifstream(starts), started, '\0');
    EXPECT_EQ(started, "started\n") << "one kelvanefs started for the four keepers";
}

TEST_F(MountKeeperTest, AMountIsRemovedOnlyWhenKelvaneMadeItAndNothingInItNeedsIt)
{
    std::string book;
    for (int i = 0; book.size() < 300'000; ++i)
        book += "line " + std::to_string(i % 977) + " of a book that compresses well\n";
    kelvane::test::writeRawFile(folder() / "book.txt", Bytes(book.begin(), book.end()));
    ASSERT_TRUE(servedBy(keeper().ensureServed(folder(), ItemKind::folder), folder()));
    const engine::FileCompressor compressor;
    ASSERT_NO_THROW(compressor.compressFile(folder() / "book.txt"));

    const std::vector<RegisteredPath> nested{{folder() / "sub", ItemKind::folder}};
    std::filesystem::create_directories(folder() / "sub");
    EXPECT_EQ(keeper().releaseIfUnneeded({folder(), ItemKind::folder}, nested), MountRelease::stillRegistered);
    EXPECT_EQ(keeper().releaseIfUnneeded({folder(), ItemKind::folder}, {}), MountRelease::holdsCompressed);
    EXPECT_TRUE(fs::test::isKelvanefsMountAt(folder()));
    EXPECT_EQ(fs::test::readAll(folder() / "book.txt"), Bytes(book.begin(), book.end()));

    ASSERT_NO_THROW(compressor.decompressFile(folder() / "book.txt"));
    EXPECT_EQ(keeper().releaseIfUnneeded({folder(), ItemKind::folder}, {}), MountRelease::removed);
    EXPECT_FALSE(fs::test::isKelvanefsMountAt(folder()));
    EXPECT_EQ(fs::test::readAll(folder() / "book.txt"), Bytes(book.begin(), book.end()));
    EXPECT_EQ(keeper().releaseIfUnneeded({folder(), ItemKind::folder}, {}), MountRelease::notMounted);

    // A mount the user made is the user's.
    mountFolder();
    EXPECT_EQ(keeper().releaseIfUnneeded({folder(), ItemKind::folder}, {}), MountRelease::notOurs);
    EXPECT_TRUE(fs::test::isKelvanefsMountAt(folder()));
}

TEST_F(MountKeeperTest, RegisteringMountsAtOnceAndUnregisteringTheLastItemRemovesTheMount)
{
    const Path single = root() / "single";
    std::filesystem::create_directories(folder() / "inner");
    test::writeFile(single / "only.bin", 10);
    auto container = test::openStore(temp_);
    store::ModelContext& context = container->mainContext();
    // Registered before the window's process starts: mounted at its start.
    auto outer = test::registerItem(context, folder(), "folder");
    context.save();

    RegisteredMounts mounts(*container, keeper());
    const auto servedAt = [&](const Path& item, const Path& point) {
        const auto outcome = mounts.outcome(item);
        return !mounts.isWorking() && outcome && *outcome == MountOutcome(MountServed{point});
    };
    ASSERT_TRUE(test::waitUntil([&] { return servedAt(folder(), folder()); }));

    // Registered while it runs, by whichever sheet: mounted as it is saved.
    auto inner = test::registerItem(context, folder() / "inner", "folder");
    auto file = test::registerItem(context, single / "only.bin", "file");
    context.save();
    ASSERT_TRUE(test::waitUntil([&] { return servedAt(single / "only.bin", single) && servedAt(folder() / "inner", folder()); }));
    EXPECT_EQ(kelvanefsMountsIn(root()), (std::vector<Path>{folder(), single}));

    // The outer mount stays while the inner registration lies in it.
    context.remove(outer);
    context.save();
    ASSERT_TRUE(test::waitUntil([&] { return !mounts.isWorking() && !mounts.outcome(folder()); }));
    EXPECT_TRUE(fs::test::isKelvanefsMountAt(folder()));
    context.remove(inner);
    context.remove(file);
    context.save();
    ASSERT_TRUE(test::waitUntil([&] { return kelvanefsMountsIn(root()).empty(); }, std::chrono::seconds(60)))
        << "no registration needs either mount any more";
}

TEST_F(MountKeeperTest, OnlyAnItemRegisteredWhileTheWindowRunsHasItsRefusalSaid)
{
    auto container = test::openStore(temp_);
    store::ModelContext& context = container->mainContext();
    test::registerItem(context, root() / "home", "folder");  // refused, and registered before the start

    RegisteredMounts mounts(*container, keeper());
    std::vector<std::pair<Path, MountRefusal>> said;
    QObject::connect(&mounts, &RegisteredMounts::newItemRefused,
                     [&](const Path& item, const MountRefusal& refusal) { said.emplace_back(item, refusal); });
    ASSERT_TRUE(test::waitUntil([&] { return !mounts.isWorking() && mounts.outcome(root() / "home"); }));
    EXPECT_TRUE(said.empty()) << "a refusal at start-up is logged, not said";

    std::filesystem::create_directories(folder());
    test::registerItem(context, root(), "folder");
    test::registerItem(context, folder(), "folder");
    ASSERT_TRUE(test::waitUntil([&] { return !mounts.isWorking() && mounts.outcome(root()) && mounts.outcome(folder()); }));
    ASSERT_EQ(said.size(), 1u) << "the folder above the home, not the one served";
    EXPECT_EQ(said[0].first, root());
    EXPECT_EQ(said[0].second.kind, Kind::homeFolder);
    EXPECT_NE(said[0].second.registrationNotice().find("登録しました"), std::string::npos);

    // Asked again at the next change, it is not said again.
    std::filesystem::create_directories(root() / "elsewhere");
    test::registerItem(context, root() / "elsewhere", "folder");
    ASSERT_TRUE(test::waitUntil([&] { return !mounts.isWorking() && mounts.outcome(root() / "elsewhere"); }));
    EXPECT_EQ(said.size(), 1u);
}

}  // namespace
}  // namespace kelvane::operations
