// SPDX-License-Identifier: MIT
#include "discovery/RegistrationCoordinator.h"
#include "display/Formatters.h"
#include "engine/FileCompressionInspector.h"
#include "engine/FileCompressor.h"
#include "engine/TemporaryFile.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "store/CompressionLog.h"
#include "store/IncompressibleFile.h"
#include "store/ModelContainer.h"
#include "store/RegisteredItem.h"

#include "support/KelvanefsMounts.h"
#include "support/TempDir.h"

#include "KelvaneProcess.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <chrono>
#include <map>
#include <memory>
#include <random>
#include <regex>
#include <string>
#include <vector>

namespace kelvane::app {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using discovery::ItemKind;
using kelvane::test::KelvaneProcess;
using kelvane::test::ProcessResult;

// A store made through the registration API in a home folder of its own, and
// the executable started on it with --auto-recompress.
class AutoRecompressTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        home_.useAsHome();
        fs::create_directories(kelvane_.supportFolder());
        container_ = store::makeModelContainer(kelvane_.storeFile());
    }

    // Words that compress well, different for every file.
    Bytes text(std::size_t size)
    {
        static const char* const words[] = {"ledger ", "invoice ", "total ", "圧縮 ", "march\n", "ファイル ", "42 "};
        std::uniform_int_distribution<std::size_t> pick(0, std::size(words) - 1);
        Bytes bytes;
        while (bytes.size() < size) {
            const std::string word = words[pick(rng_)];
            bytes.insert(bytes.end(), word.begin(), word.end());
        }
        bytes.resize(size);
        return bytes;
    }

    Bytes noise(std::size_t size)
    {
        Bytes bytes(size);
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(rng_());
        return bytes;
    }

    // Old enough for the run unless `recent`: it leaves alone what was saved in the last 30 minutes.
    fs::path write(const fs::path& path, const Bytes& bytes, bool recent = false)
    {
        fs::create_directories(path.parent_path());
        kelvane::test::writeRawFile(path, bytes);
        if (!recent)
            age(path);
        originals_[path] = bytes;
        return path;
    }

    static void age(const fs::path& path)
    {
        fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(2));
    }

    void registerItem(const fs::path& path, ItemKind kind, bool includeSubfolders = true)
    {
        const discovery::RegistrationDecision decision =
            discovery::RegistrationCoordinator{}.registerItem(path, kind, includeSubfolders, container_->mainContext());
        ASSERT_TRUE(decision.as<discovery::RegistrationDecision::willRegister>()) << decision.description();
    }

    // The store is closed while the executable runs, as it would be between
    // two runs of cron. The run mounts kelvanefs over the registered folders:
    // through them every program reads each file as it was written. The
    // mounts are then taken down, so that the checks look at the disk itself
    // (and the next run has to mount again).
    ProcessResult runHeadless()
    {
        container_.reset();
        ProcessResult result = kelvane_.run({"--auto-recompress"});
        for (const auto& [path, bytes] : originals_)
            EXPECT_TRUE(readAsAnyProgram(path) == bytes) << path << " does not read as written through the mount";
        kelvane::test::unmountKelvanefsBelow(home_.path());
        container_ = store::makeModelContainer(kelvane_.storeFile());
        return result;
    }

    // Plain reads, as a program that knows nothing of Kelvane makes them.
    static Bytes readAsAnyProgram(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    static bool compressedOnDisk(const fs::path& path)
    {
        const engine::FileCompressionInfo info = engine::FileCompressionInspector{}.inspect(path);
        const auto* compressed = info.status.as<engine::FileCompressionStatus::compressed>();
        return compressed && compressed->uncompressedSize == info.logicalSize;
    }

    // What the run counts as saved for a file it compressed.
    static std::int64_t savedBy(const fs::path& path)
    {
        platform::FileStat st;
        EXPECT_EQ(platform::lstat(path, st), 0) << path;
        return std::max<std::int64_t>(st.size - st.blocks * 512, 0);
    }

    void expectContentsKept()
    {
        for (const auto& [path, bytes] : originals_) {
            Bytes back;
            ASSERT_EQ(platform::readWholeFile(path, back), 0) << path;
            EXPECT_TRUE(back == bytes) << path;
        }
    }

    static std::string startLine(int items)
    {
        return "[Kelvane] --auto-recompress: 登録項目 " + std::to_string(items) + " 件を走査します\n";
    }

    // What a run printed: its start line for `items` items, then its summary
    // up to the elapsed time, which is checked by pattern.
    static void expectOutput(const std::string& out, int items, const std::string& countsAndSaved)
    {
        ASSERT_TRUE(out.starts_with(startLine(items))) << out;
        const std::string head = startLine(items) + "[Kelvane] --auto-recompress 完了: " + countsAndSaved + " / 所要 ";
        ASSERT_TRUE(out.starts_with(head)) << out << "\nexpected: " << head;
        EXPECT_TRUE(std::regex_match(out.substr(head.size()), std::regex("[0-9]+\\.[0-9] 秒\n"))) << out;
    }

    kelvane::test::TempDir home_;
    KelvaneProcess kelvane_{home_.path()};
    std::shared_ptr<store::ModelContainer> container_;
    std::map<fs::path, Bytes> originals_;
    std::mt19937 rng_{20240611};
};

// The run compresses only under a live kelvanefs mount, which it makes: the
// tests that see files compressed need a usable FUSE.
class MountingAutoRecompressTest : public AutoRecompressTest {
protected:
    void SetUp() override
    {
        if (const auto why = kelvane::test::whyNoKelvanefsMounts())
            GTEST_SKIP() << "the run cannot mount kelvanefs here: " << *why;
        AutoRecompressTest::SetUp();
    }
};

TEST_F(MountingAutoRecompressTest, RegisteredFilesAndFoldersEndUpCompressedAndReadBackExactly)
{
    const fs::path documents = home_ / "Documents";
    const fs::path report = write(documents / "report.txt", text(40'000));
    const fs::path draft = write(documents / "notes" / "draft.md", text(25'000));
    const fs::path hidden = write(documents / ".hidden.txt", text(20'000));
    const fs::path fresh = write(documents / "fresh.txt", text(20'000), true);
    const fs::path random = write(documents / "noise.bin", noise(3000));  // small enough to be kept inline
    const fs::path packed = write(documents / "packed.txt", text(30'000));
    engine::FileCompressor{}.compressFile(packed);
    age(packed);
    const fs::path ledger = write(home_ / "Single" / "ledger.csv", text(30'000));
    const fs::path today = write(home_ / "Single" / "today.log", text(30'000), true);
    const fs::path flat = home_ / "Flat";
    const fs::path top = write(flat / "top.txt", text(20'000));
    const fs::path deep = write(flat / "deep" / "inner.txt", text(20'000));

    registerItem(documents, ItemKind::folder);
    registerItem(ledger, ItemKind::file);
    registerItem(today, ItemKind::file);
    registerItem(flat, ItemKind::folder, false);

    const ProcessResult first = runHeadless();
    ASSERT_TRUE(first.finished);
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.err, "");

    const std::vector<fs::path> compressed{report, draft, ledger, top};
    std::int64_t saved = 0;
    for (const fs::path& path : compressed) {
        EXPECT_TRUE(compressedOnDisk(path)) << path;
        // On Linux the data stream itself now holds less than the file's contents.
        EXPECT_LT(fs::file_size(path), originals_.at(path).size()) << path;
        saved += savedBy(path);
    }
    EXPECT_GT(saved, 0);
    for (const fs::path& path : {hidden, fresh, random, today, deep})
        EXPECT_FALSE(compressedOnDisk(path)) << path;
    EXPECT_TRUE(compressedOnDisk(packed));
    expectContentsKept();

    expectOutput(first.out, 4,
                 "走査 6 件 / 成功 4 / 失敗 0 / 既圧縮スキップ 1 / 縮まずスキップ 1 / 削減 "
                     + display::formatBytes(saved).toStdString());

    // A second run finds nothing left to do and counts every compressed file as such.
    const ProcessResult second = runHeadless();
    EXPECT_EQ(second.exitCode, 0) << second.err;
    expectOutput(second.out, 4,
                 "走査 6 件 / 成功 0 / 失敗 0 / 既圧縮スキップ 5 / 縮まずスキップ 1 / 削減 0 B");
    expectContentsKept();

    // The run only reads the store: no history, no incompressible records, no launch.
    auto reader = container_->makeContext(store::ModelContext::Access::readOnly);
    EXPECT_TRUE(reader->fetch(store::FetchDescriptor<store::CompressionLog>()).empty());
    EXPECT_TRUE(reader->fetch(store::FetchDescriptor<store::IncompressibleFile>()).empty());
    EXPECT_EQ(reader->fetch(store::FetchDescriptor<store::RegisteredItem>()).size(), 4u);
    EXPECT_FALSE(fs::exists(kelvane_.settingsFile()));
}

TEST_F(MountingAutoRecompressTest, OneFailedFileMakesTheExitStatusOneAndLeavesThatFileAlone)
{
    const fs::path work = home_ / "Work";
    const fs::path fine = write(work / "fine.txt", text(20'000));
    const fs::path blocked = write(work / "blocked.txt", text(20'000));
    // Something that is not ours sits where the temporary file would go.
    const fs::path obstacle = engine::TemporaryFile::pathFor(blocked);
    fs::create_directory(obstacle);
    registerItem(work, ItemKind::folder);

    const ProcessResult result = runHeadless();
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    // The journal of a timer run says which file failed and why, in one line.
    const std::string failure = "[Kelvane] 失敗: " + blocked.string() + ": ";
    EXPECT_TRUE(result.err.starts_with(failure)) << result.err;
    EXPECT_GT(result.err.size(), failure.size() + 1) << "no reason given";
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_TRUE(result.err.ends_with('\n')) << result.err;
    expectOutput(result.out, 1,
                 "走査 2 件 / 成功 1 / 失敗 1 / 既圧縮スキップ 0 / 縮まずスキップ 0 / 削減 "
                     + display::formatBytes(savedBy(fine)).toStdString());

    EXPECT_TRUE(compressedOnDisk(fine));
    EXPECT_FALSE(compressedOnDisk(blocked));
    EXPECT_TRUE(kelvane::test::readRawFile(blocked) == originals_.at(blocked));
    EXPECT_TRUE(fs::is_directory(obstacle));
    expectContentsKept();
}

// The journal line of a failed file names it once and says in words what
// Kelvane was doing and what the system answered; no raw error number.
TEST_F(MountingAutoRecompressTest, AFailureLineNamesTheFileOnceAndTheReasonInWords)
{
    const fs::path locked = home_ / "Locked";
    const fs::path file = write(locked / "text3.txt", text(20'000));
    registerItem(file, ItemKind::file);
    // No file can be made beside it: root is held back only by the folder's
    // immutable flag, anyone else by the folder's permissions.
    const bool root = ::geteuid() == 0;
    if (root && !kelvane::test::setImmutable(locked, true))
        GTEST_SKIP() << "no immutable flag on this file system";
    if (!root)
        fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    const ProcessResult result = runHeadless();
    if (root)
        kelvane::test::setImmutable(locked, false);
    else
        fs::permissions(locked, fs::perms::owner_all);

    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "[Kelvane] 失敗: " + file.string() + ": 作業用ファイル（.kvtmp）の作成に失敗しました: "
                              + std::strerror(root ? EPERM : EACCES) + "\n");
    EXPECT_FALSE(compressedOnDisk(file));
    expectContentsKept();
}

TEST_F(MountingAutoRecompressTest, ItemsThatCannotBeReachedAreSkippedWithoutFailingTheRun)
{
    const fs::path kept = write(home_ / "Kept" / "a.txt", text(20'000));
    const fs::path gone = home_ / "Gone";
    write(gone / "b.txt", text(20'000));
    const fs::path lost = write(home_ / "lost.txt", text(20'000));
    registerItem(home_ / "Kept", ItemKind::folder);
    registerItem(gone, ItemKind::folder);
    registerItem(lost, ItemKind::file);
    fs::remove_all(gone);
    fs::remove(lost);
    originals_.erase(gone / "b.txt");
    originals_.erase(lost);

    const ProcessResult result = runHeadless();
    EXPECT_EQ(result.exitCode, 0) << result.err;
    expectOutput(result.out, 3,
                 "走査 1 件 / 成功 1 / 失敗 0 / 既圧縮スキップ 0 / 縮まずスキップ 0 / 削減 "
                     + display::formatBytes(savedBy(kept)).toStdString());
    EXPECT_TRUE(compressedOnDisk(kept));
    expectContentsKept();
}

// Where kelvanefs cannot be mounted, compressing would leave every other
// program reading stored data: the run names each folder with the reason,
// fails, and touches nothing.
TEST_F(AutoRecompressTest, WithoutFuseEachFolderIsNamedWithTheReasonTheRunFailsAndNothingIsTouched)
{
    kelvane_.setEnvironment(QStringLiteral("KELVANE_FUSE_DEVICE"), QString::fromStdString((home_ / "no-fuse").string()));
    const fs::path work = home_ / "Work";
    const fs::path file = write(work / "notes.txt", text(40'000));
    const fs::path single = write(home_ / "Single" / "ledger.csv", text(30'000));
    registerItem(work, ItemKind::folder);
    registerItem(single, ItemKind::file);

    const ProcessResult result = runHeadless();
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    const std::string reason = "FUSE のデバイスがないため、kelvanefs をマウントできません";
    for (const fs::path& item : {work, single}) {
        const std::string line = "[Kelvane] 失敗: " + item.string() + ": " + reason;
        EXPECT_NE(result.err.find(line), std::string::npos) << result.err;
    }
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 2) << "one line a folder: " << result.err;
    expectOutput(result.out, 2,
                 "走査 0 件 / 成功 0 / 失敗 2 / 既圧縮スキップ 0 / 縮まずスキップ 0 / 削減 0 B");
    EXPECT_TRUE(kelvane::test::kelvanefsMountsBelow(home_.path()).empty());
    for (const fs::path& path : {file, single}) {
        EXPECT_FALSE(compressedOnDisk(path)) << path;
        EXPECT_TRUE(kelvane::test::readRawFile(path) == originals_.at(path)) << path;
    }
}

// A daemon killed (a crash, the OOM killer) leaves its folder a dead mount in
// which nothing can be read; the next run makes the mount again and goes on.
TEST_F(MountingAutoRecompressTest, AMountWhoseDaemonWasKilledIsMadeAgainByTheNextRun)
{
    const fs::path work = home_ / "Work";
    const fs::path first = write(work / "first.txt", text(40'000));
    registerItem(work, ItemKind::folder);
    container_.reset();
    ProcessResult result = kelvane_.run({"--auto-recompress"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    ASSERT_EQ(kelvane::test::kelvanefsMountsBelow(home_.path()), std::vector<fs::path>{work});

    // A program saves a new file through the mount; then the daemon dies.
    const fs::path second = write(work / "second.txt", text(40'000));
    ASSERT_TRUE(kelvane::test::killKelvanefsDaemon(work));
    std::error_code code;
    (void)fs::status(first, code);
    ASSERT_EQ(code.value(), ENOTCONN) << "nothing can be read in the dead mount";

    result = runHeadless();
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    expectOutput(result.out, 1,
                 "走査 2 件 / 成功 1 / 失敗 0 / 既圧縮スキップ 1 / 縮まずスキップ 0 / 削減 "
                     + display::formatBytes(savedBy(second)).toStdString());
    EXPECT_TRUE(compressedOnDisk(first));
    EXPECT_TRUE(compressedOnDisk(second));
    expectContentsKept();
}

// Two runs starting at once (a timer's and one started by hand) make one
// mount between them, and each file is compressed once.
TEST_F(MountingAutoRecompressTest, TwoRunsStartingAtOnceMakeOneMountAndCompressEachFileOnce)
{
    const fs::path work = home_ / "Work";
    std::vector<fs::path> files;
    for (int i = 0; i < 6; ++i)
        files.push_back(write(work / ("part" + std::to_string(i) + ".txt"), text(60'000)));
    registerItem(work, ItemKind::folder);
    container_.reset();

    std::vector<std::unique_ptr<QProcess>> runs;
    for (int i = 0; i < 2; ++i) {
        runs.push_back(std::make_unique<QProcess>());
        runs.back()->setProcessEnvironment(kelvane_.environment());
    }
    for (auto& run : runs)
        run->start(QStringLiteral(KELVANE_BINARY_DIR "/kelvane"), {QStringLiteral("--auto-recompress")});
    int succeeded = 0;
    for (auto& run : runs) {
        ASSERT_TRUE(run->waitForFinished(120'000));
        EXPECT_EQ(run->exitCode(), 0) << run->readAllStandardError().toStdString();
        const std::string out = run->readAllStandardOutput().toStdString();
        std::smatch counted;
        ASSERT_TRUE(std::regex_search(out, counted, std::regex("成功 ([0-9]+) / 失敗 0 /"))) << out;
        succeeded += std::stoi(counted[1]);
    }
    EXPECT_EQ(succeeded, 6);
    EXPECT_EQ(kelvane::test::kelvanefsMountsBelow(home_.path()), std::vector<fs::path>{work});
    for (const auto& [path, bytes] : originals_)
        EXPECT_TRUE(readAsAnyProgram(path) == bytes) << path;
    kelvane::test::unmountKelvanefsBelow(home_.path());
    for (const fs::path& file : files)
        EXPECT_TRUE(compressedOnDisk(file)) << file;
    expectContentsKept();
}

}  // namespace
}  // namespace kelvane::app
