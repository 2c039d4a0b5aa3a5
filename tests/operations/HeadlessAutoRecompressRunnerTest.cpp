// SPDX-License-Identifier: MIT
#include "operations/bulk/HeadlessAutoRecompressRunner.h"

#include "display/Formatters.h"
#include "engine/FileCompressor.h"
#include "engine/TemporaryFile.h"
#include "platform/FileFlags.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "store/CompressionLog.h"
#include "store/IncompressibleFile.h"

#include "GeneratedFiles.h"
#include "OperationsTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <regex>

namespace kelvane::operations {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class HeadlessRunTest : public test::StoreFixture {
protected:
    fs::path write(const fs::path& path, const Bytes& bytes, bool old = true)
    {
        fs::create_directories(path.parent_path());
        kelvane::test::writeRawFile(path, bytes);
        if (old)
            fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(2));
        originals_[path] = bytes;
        return path;
    }

    // Runs with its two output streams captured.
    int run(std::string& out, std::string& err)
    {
        std::FILE* o = std::tmpfile();
        std::FILE* e = std::tmpfile();
        const int status = HeadlessAutoRecompressRunner(container_, o, e, serve_).run();
        const auto slurp = [](std::FILE* f) {
            std::string text;
            std::rewind(f);
            char buffer[4096];
            std::size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
                text.append(buffer, n);
            std::fclose(f);
            return text;
        };
        out = slurp(o);
        err = slurp(e);
        return status;
    }

    static bool compressedOnDisk(const fs::path& path)
    {
        platform::FileStat st;
        return platform::lstat(path, st) == 0 && (st.flags & platform::UF_COMPRESSED) != 0;
    }

    static std::int64_t savedBy(const fs::path& path)
    {
        platform::FileStat st;
        platform::lstat(path, st);
        return std::max<std::int64_t>(st.size - st.blocks * 512, 0);
    }

    std::map<fs::path, Bytes> originals_;
    std::mt19937 rng_{314};
    // The mount keeper's stand-in: every item served, but those refused here.
    std::map<fs::path, MountRefusal> refusals_;
    std::vector<fs::path> askedToServe_;
    HeadlessAutoRecompressRunner::ServeItem serve_ = [this](const fs::path& item, discovery::ItemKind) -> MountOutcome {
        askedToServe_.push_back(item);
        if (const auto refused = refusals_.find(item); refused != refusals_.end())
            return refused->second;
        return MountServed{item};
    };
};

TEST_F(HeadlessRunTest, CompressesRegisteredItemsAndLeavesRecentAndOversizedFilesAlone)
{
    auto& context = container_->mainContext();
    const fs::path folder = dir_ / "Archive";
    std::vector<fs::path> expectCompressed;
    for (int i = 0; i < 3; ++i)
        expectCompressed.push_back(write(folder / "sub" / ("old" + std::to_string(i) + ".txt"), test::textBytes(rng_, 30000)));
    const fs::path recentInFolder = write(folder / "recent.txt", test::textBytes(rng_, 30000), false);
    const fs::path hidden = write(folder / ".hidden.txt", test::textBytes(rng_, 30000));
    const fs::path packed = write(folder / "packed.txt", test::textBytes(rng_, 30000));
    engine::FileCompressor{}.compressFile(packed);
    fs::last_write_time(packed, fs::file_time_type::clock::now() - std::chrono::hours(2));
    write(folder / "noise.bin", test::randomBytes(rng_, 1000));
    const fs::path sparse = folder / "huge.img";
    {
        kelvane::test::writeRawFile(sparse, {});
        fs::resize_file(sparse, std::uintmax_t{1} << 31);
        fs::last_write_time(sparse, fs::file_time_type::clock::now() - std::chrono::hours(2));
    }
    const fs::path singleOld = write(dir_ / "single" / "notes.md", test::textBytes(rng_, 20000));
    const fs::path singleRecent = write(dir_ / "single" / "draft.md", test::textBytes(rng_, 20000), false);
    const fs::path oddKind = write(dir_ / "single" / "odd.log", test::textBytes(rng_, 20000));
    const fs::path gone = dir_ / "Gone";
    write(gone / "x.txt", test::textBytes(rng_, 20000));
    const fs::path replaced = dir_ / "Replaced";
    write(replaced / "y.txt", test::textBytes(rng_, 20000));

    test::registerItem(context, folder, ItemKind::folder);
    test::registerItem(context, singleOld, ItemKind::file);
    test::registerItem(context, singleRecent, ItemKind::file);
    test::registerItem(context, oddKind, "symlink");
    test::registerItem(context, gone, ItemKind::folder);
    test::registerItem(context, replaced, ItemKind::folder);
    fs::remove_all(gone);
    fs::remove_all(replaced);
    write(replaced, test::textBytes(rng_, 10));
    expectCompressed.push_back(singleOld);
    expectCompressed.push_back(oddKind);

    // Another connection holds the store's write lock for the whole run.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open((dir_ / "store.sqlite").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);

    std::string out, err;
    const int status = run(out, err);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    // The failed search is logged in its own words, the folder's path private.
    const auto searchFailures = test::logLines("search failed for");
    ASSERT_EQ(searchFailures.size(), 1u);
    EXPECT_NE(searchFailures[0].find("rootNotADirectory(\"<private>\")"), std::string::npos) << searchFailures[0];
    EXPECT_EQ(searchFailures[0].find(replaced.string()), std::string::npos) << searchFailures[0];

    EXPECT_EQ(status, 0);
    EXPECT_TRUE(err.empty()) << err;
    std::int64_t saved = 0;
    for (const fs::path& p : expectCompressed) {
        EXPECT_TRUE(compressedOnDisk(p)) << p;
        saved += savedBy(p);
    }
    for (const fs::path& p : {recentInFolder, hidden, singleRecent, sparse})
        EXPECT_FALSE(compressedOnDisk(p)) << p;
    for (const auto& [path, bytes] : originals_) {
        if (!fs::is_regular_file(path))
            continue;
        Bytes back;
        ASSERT_EQ(platform::readWholeFile(path, back), 0) << path;
        EXPECT_TRUE(back == bytes) << path;
    }

    const std::string expectedSummary = "[Kelvane] --auto-recompress 完了: 走査 7 件 / 成功 5 / 失敗 0 / 既圧縮スキップ 1 / 縮まずスキップ 1 / 削減 " +
                                        display::formatBytes(saved).toStdString() + " / 所要 ";
    const std::string startLine = "[Kelvane] --auto-recompress: 登録項目 6 件を走査します\n";
    ASSERT_EQ(out.substr(0, startLine.size()), startLine);
    const std::string summary = out.substr(startLine.size());
    EXPECT_EQ(summary.substr(0, expectedSummary.size()), expectedSummary) << summary;
    EXPECT_TRUE(std::regex_match(summary.substr(expectedSummary.size()), std::regex("[0-9]+\\.[0-9] 秒\n"))) << summary;

    // Nothing was written to the store.
    auto reader = container_->makeContext(store::ModelContext::Access::readOnly);
    EXPECT_TRUE(reader->fetch(store::FetchDescriptor<store::CompressionLog>()).empty());
    EXPECT_TRUE(reader->fetch(store::FetchDescriptor<store::IncompressibleFile>()).empty());
}

// Files whose fork would not be smaller, in memory and streamed: counted as
// not shrinking, each left exactly as it was; one byte of saving still counts.
TEST_F(HeadlessRunTest, FilesThatDoNotShrinkAreCountedAndLeftAsTheyWere)
{
    const fs::path folder = dir_ / "Refused";
    const auto [before, shrinks, edge] = test::writeRefusedFiles(
        folder, rng_, [&](const fs::path& path, const Bytes& bytes) { return write(path, bytes); });
    ASSERT_FALSE(edge.empty());
    test::registerItem(container_->mainContext(), folder, ItemKind::folder);

    std::string out, err;
    EXPECT_EQ(run(out, err), 0);
    EXPECT_TRUE(err.empty()) << err;
    EXPECT_NE(out.find("走査 7 件 / 成功 1 / 失敗 0 / 既圧縮スキップ 0 / 縮まずスキップ 6 / 削減 "), std::string::npos)
        << out;
    for (const auto& [path, image] : before) {
        EXPECT_TRUE(test::FileImage::of(path) == image) << path;
        EXPECT_FALSE(fs::exists(path.string() + ".kvtmp")) << path;
    }
    EXPECT_TRUE(compressedOnDisk(shrinks));
    Bytes back;
    ASSERT_EQ(platform::readWholeFile(shrinks, back), 0);
    EXPECT_TRUE(back == edge);
}

TEST_F(HeadlessRunTest, FailedFilesMakeTheStatusOneAndAreNamedOnStandardError)
{
    const fs::path folder = dir_ / "Work";
    const fs::path fine = write(folder / "fine.txt", test::textBytes(rng_, 20000));
    const fs::path blocked = write(folder / "blocked.txt", test::textBytes(rng_, 20000));
    // A name that would break the line, and one with a backslash.
    const fs::path odd = write(folder / "two\nlines\\x.txt", test::textBytes(rng_, 20000));
    for (const fs::path& file : {blocked, odd})
        fs::create_directory(engine::TemporaryFile::pathFor(file));  // not a leftover of ours
    test::registerItem(container_->mainContext(), folder, ItemKind::folder);

    std::string out, err;
    EXPECT_EQ(run(out, err), 1);
    EXPECT_NE(out.find("走査 3 件 / 成功 1 / 失敗 2 / 既圧縮スキップ 0 / 縮まずスキップ 0"), std::string::npos) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2) << out;  // the start and summary lines only
    EXPECT_EQ(out.find("blocked"), std::string::npos) << out;
    EXPECT_TRUE(compressedOnDisk(fine));
    for (const fs::path& file : {blocked, odd}) {
        EXPECT_FALSE(compressedOnDisk(file));
        EXPECT_TRUE(kelvane::test::readRawFile(file) == originals_.at(file));
    }

    // One line per failed file, in the order the run met them, with the path and the reason.
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < err.size();) {
        const std::size_t end = err.find('\n', at);
        ASSERT_NE(end, std::string::npos) << err;
        lines.push_back(err.substr(at, end - at));
        at = end + 1;
    }
    ASSERT_EQ(lines.size(), 2u) << err;
    std::sort(lines.begin(), lines.end());
    const std::string blockedStart = "[Kelvane] 失敗: " + blocked.string() + ": ";
    const std::string oddStart = "[Kelvane] 失敗: " + (folder / "two\\nlines\\\\x.txt").string() + ": ";
    EXPECT_TRUE(lines[0].starts_with(blockedStart)) << lines[0];
    EXPECT_GT(lines[0].size(), blockedStart.size()) << "no reason given";
    EXPECT_TRUE(lines[1].starts_with(oddStart)) << lines[1];
    EXPECT_GT(lines[1].size(), oddStart.size()) << "no reason given";
}

// The replacement files of other runs lie in the registered folder: one of a
// window's decompression killed after the file got its times back, and one
// that another run is filling right now (it holds the file's lock and its
// replacement open for writing). Neither is a file of the user's: the run
// neither counts nor changes them, and the engine can still clear the
// leftover when the file it belongs to is next worked on.
TEST_F(HeadlessRunTest, OtherRunsReplacementFilesAreNeitherCountedNorCompressed)
{
    using engine::TemporaryFile;
    const fs::path folder = dir_ / "Work";
    const auto putReplacement = [&](const fs::path& file, const Bytes& bytes) {
        const fs::path replacement = write(TemporaryFile::pathFor(file), bytes);
        const std::vector<std::uint8_t> marker = TemporaryFile::markerFor(file);
        EXPECT_EQ(platform::setxattr(replacement, TemporaryFile::markerName, marker.data(), marker.size(), 0,
                                     platform::XATTR_NOFOLLOW),
                  0)
            << replacement;
        return replacement;
    };
    const auto markerOf = [](const fs::path& path) {
        std::uint8_t value[32];
        const ssize_t got =
            platform::getxattr(path, TemporaryFile::markerName, value, sizeof value, 0, platform::XATTR_NOFOLLOW);
        return got < 0 ? std::vector<std::uint8_t>{} : std::vector<std::uint8_t>(value, value + got);
    };

    const fs::path kept = write(folder / "kept.txt", test::textBytes(rng_, 30000));
    engine::FileCompressor{}.compressFile(kept);
    fs::last_write_time(kept, fs::file_time_type::clock::now() - std::chrono::hours(2));
    const fs::path leftover = putReplacement(kept, originals_.at(kept));

    const fs::path busy = write(folder / "busy.txt", test::textBytes(rng_, 30000));
    const fs::path filling = putReplacement(busy, test::textBytes(rng_, 30000));
    const platform::UniqueFd busyLock = platform::open(busy, O_RDONLY);
    ASSERT_TRUE(busyLock);
    ASSERT_EQ(platform::flock(busyLock.get(), LOCK_EX | LOCK_NB), 0);
    const platform::UniqueFd fillingWriter = platform::open(filling, O_WRONLY);
    ASSERT_TRUE(fillingWriter);

    const fs::path plain = write(folder / "plain.txt", test::textBytes(rng_, 30000));
    test::registerItem(container_->mainContext(), folder, ItemKind::folder);

    std::string out, err;
    EXPECT_EQ(run(out, err), 0);
    EXPECT_TRUE(err.empty()) << err;
    // plain.txt compressed; kept.txt already compressed; busy.txt in use by the other run.
    EXPECT_NE(out.find("走査 3 件 / 成功 1 / 失敗 0 / 既圧縮スキップ 2 / 縮まずスキップ 0 / 削減 "
                       + display::formatBytes(savedBy(plain)).toStdString() + " / "),
              std::string::npos)
        << out;
    EXPECT_TRUE(compressedOnDisk(plain));
    EXPECT_FALSE(compressedOnDisk(busy));
    for (const fs::path& replacement : {leftover, filling}) {
        EXPECT_FALSE(compressedOnDisk(replacement)) << replacement;
        EXPECT_TRUE(kelvane::test::readRawFile(replacement) == originals_.at(replacement)) << replacement;
    }
    EXPECT_EQ(markerOf(leftover), TemporaryFile::markerFor(kept));
    EXPECT_EQ(markerOf(filling), TemporaryFile::markerFor(busy));

    // The window decompresses the file again: the leftover is recognised as
    // its own and cleared, as a later run would.
    EXPECT_NO_THROW(engine::FileCompressor{}.decompressFile(kept));
    EXPECT_FALSE(compressedOnDisk(kept));
    EXPECT_TRUE(kelvane::test::readRawFile(kept) == originals_.at(kept));
    EXPECT_FALSE(fs::exists(leftover));
}

// Compressing where no mount serves the files would leave every other program
// reading their stored data: such an item is a failure of the run, with its
// reason, and the other items are still compressed.
TEST_F(HeadlessRunTest, AnItemNoMountCanServeIsNamedWithItsReasonFailsTheRunAndIsLeftAlone)
{
    auto& context = container_->mainContext();
    const fs::path served = write(dir_ / "Served" / "a.txt", test::textBytes(rng_, 30000));
    const fs::path unserved = write(dir_ / "Unserved" / "b.txt", test::textBytes(rng_, 30000));
    const fs::path lone = write(dir_ / "Lone" / "c.txt", test::textBytes(rng_, 30000));
    test::registerItem(context, dir_ / "Served", ItemKind::folder);
    test::registerItem(context, dir_ / "Unserved", ItemKind::folder);
    test::registerItem(context, lone, ItemKind::file);
    const MountRefusal noDevice{MountRefusal::Kind::fuseDeviceMissing, {}, "/dev/fuse: No such file or directory"};
    refusals_[dir_ / "Unserved"] = noDevice;
    refusals_[lone] = MountRefusal{MountRefusal::Kind::mountFailed, dir_ / "Lone", "kelvanefs: exit 1"};

    std::string out, err;
    EXPECT_EQ(run(out, err), 1);
    EXPECT_EQ(err, HeadlessAutoRecompressRunner::failureLine(dir_ / "Unserved", noDevice.text())
                       + HeadlessAutoRecompressRunner::failureLine(lone, refusals_.at(lone).text()));
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2) << "one line per item: " << err;
    EXPECT_NE(out.find("走査 1 件 / 成功 1 / 失敗 2 / "), std::string::npos) << out;
    EXPECT_TRUE(compressedOnDisk(served));
    for (const fs::path& file : {unserved, lone}) {
        EXPECT_FALSE(compressedOnDisk(file)) << file;
        EXPECT_TRUE(kelvane::test::readRawFile(file) == originals_.at(file)) << file;
    }
    EXPECT_EQ(askedToServe_, (std::vector<fs::path>{dir_ / "Served", dir_ / "Unserved", lone}));

    // Once a mount serves it, the next run compresses there.
    refusals_.clear();
    EXPECT_EQ(run(out, err), 0) << err;
    EXPECT_TRUE(compressedOnDisk(unserved));
    EXPECT_TRUE(compressedOnDisk(lone));
}

TEST_F(HeadlessRunTest, EmptyStoreAndUnreadableStore)
{
    std::string out, err;
    EXPECT_EQ(run(out, err), 0);
    EXPECT_EQ(out, "[Kelvane] --auto-recompress: 登録項目 0 件を走査します\n"
                   "[Kelvane] --auto-recompress 完了: 走査 0 件 / 成功 0 / 失敗 0 / 既圧縮スキップ 0 / 縮まずスキップ 0 / 削減 0 B / 所要 0.0 秒\n");

    // The store's file is replaced by something that is no store at all.
    const fs::path file = dir_ / "store.sqlite";
    container_.reset();
    auto broken = test::openStore(dir_);
    kelvane::test::writeRawFile(file, Bytes(8192, 0x5A));
    for (const char* side : {"-wal", "-shm"})
        fs::remove(file.string() + side);
    container_ = broken;
    EXPECT_EQ(run(out, err), 1);
    EXPECT_TRUE(out.empty()) << out;
    EXPECT_EQ(err.rfind("ERROR: 登録項目の読み込みに失敗しました: ", 0), 0u) << err;
    EXPECT_EQ(err.back(), '\n');
}

}  // namespace
}  // namespace kelvane::operations
