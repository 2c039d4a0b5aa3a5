// SPDX-License-Identifier: MIT
#include "engine/FileCompressionError.h"
#include "engine/FileCompressor.h"
#include "engine/LZFSE.h"
#include "platform/LogStore.h"

#include "EngineFixtures.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

namespace kelvane::engine {
namespace {

using namespace fixtures;
using Error = FileCompressionError;

template <typename Call>
Error failureOf(Call&& call)
{
    return thrown<Error>(call);
}

// Each case's own folder, and the compressor that refuses its files.
class FileCompressorFailureTest : public ::testing::Test {
protected:
    test::TempDir dir_;
    const FileCompressor compressor_{};
};

TEST_F(FileCompressorFailureTest, PreflightCasesInTheirOrder)
{
    const Bytes data = textBytes(50000, 1);

    const Path missing = dir_ / "missing";
    EXPECT_EQ(failureOf([&] { compressor_.compressFile(missing); }), Error(Error::fileNotFound{missing}));
    EXPECT_EQ(failureOf([&] { compressor_.decompressFile(missing); }), Error(Error::fileNotFound{missing}));

    const Path folder = dir_ / "folder";
    std::filesystem::create_directory(folder);
    EXPECT_EQ(failureOf([&] { compressor_.compressFile(folder); }), Error(Error::notARegularFile{folder}));

    const Path target = dir_ / "target";
    test::writeRawFile(target, data);
    const Path link = dir_ / "link";
    std::filesystem::create_symlink(target, link);
    EXPECT_EQ(failureOf([&] { compressor_.compressFile(link); }), Error(Error::symbolicLink{link}));
    EXPECT_EQ(failureOf([&] { compressor_.decompressFile(link); }), Error(Error::symbolicLink{link}));
    EXPECT_FALSE(isCompressed(target)) << "the link's target is never touched";

    const Path plain = dir_ / "plain";
    test::writeRawFile(plain, data);
    EXPECT_EQ(failureOf([&] { compressor_.decompressFile(plain); }), Error(Error::notCompressed{plain}));

    compressor_.compressFile(plain);
    EXPECT_EQ(failureOf([&] { compressor_.compressFile(plain); }), Error(Error::alreadyCompressed{plain}));
    // A second link wins over the compressed flag.
    const Path second = dir_ / "second-link";
    std::filesystem::create_hard_link(plain, second);
    EXPECT_EQ(failureOf([&] { compressor_.compressFile(plain); }), Error(Error::hardLinked{plain, 2}));
    EXPECT_EQ(failureOf([&] { compressor_.decompressFile(plain); }), Error(Error::hardLinked{plain, 2}));
    EXPECT_EQ(readThroughLayer(plain), data);

    // A resource fork beside the data: refused; an empty one passes and is not copied.
    const Path withFork = dir_ / "with-fork";
    test::writeRawFile(withFork, data);
    setAttribute(withFork, platform::kResourceForkXattrName, {1, 2, 3});
    EXPECT_EQ(failureOf([&] { compressor_.compressFile(withFork); }), Error(Error::hasResourceFork{withFork}));
    EXPECT_EQ(test::readRawFile(withFork), data);

    EXPECT_EQ(Error(Error::hardLinked{"/a/b", 2}).description(), "hardLinked(/a/b, nlink: 2)");
    EXPECT_EQ(Error(Error::ioError{"/a/b", "lstat: errno=13"}).description(), "ioError(/a/b, \"lstat: errno=13\")");
    EXPECT_EQ(Error(Error::fileInUse{"/a/b"}).kind(), Error::Kind::fileInUse);
    EXPECT_EQ(caseName(Error::Kind::temporaryFileConflict), "temporaryFileConflict");
}

// Each case is built once: its kind and the name in its text must both be
// the case's own (a swap in any of the lists mislabels every failure).
TEST_F(FileCompressorFailureTest, EveryCaseIsNamedByItsOwnKind)
{
    const std::vector<std::string> names{
        "fileNotFound", "notARegularFile", "symbolicLink", "hardLinked", "alreadyCompressed",
        "notCompressed", "compressionDidNotReduceSize", "fileInUse", "roundtripVerificationFailed",
        "fileTooLargeForFormat", "hasResourceFork", "fileChangedDuringOperation", "temporaryFileConflict",
        "ioError", "notServedByMount"};
    ASSERT_EQ(names.size(), std::variant_size_v<Error::Case>);
    [&]<std::size_t... I>(std::index_sequence<I...>) {
        ([&] {
            std::variant_alternative_t<I, Error::Case> c{};
            c.url = "/f";
            const Error error(c);
            const std::string& text = error.description();
            EXPECT_EQ(text.substr(0, text.find('(')), names[I]) << text;
            EXPECT_EQ(caseName(error.kind()), names[I]) << text;
        }(), ...);
    }(std::make_index_sequence<std::variant_size_v<Error::Case>>{});
}

TEST_F(FileCompressorFailureTest, EmptyFileAndSizeLimit)
{
    const Path empty = dir_ / "empty";
    test::writeRawFile(empty, {});
    EXPECT_EQ(failureOf([&] { compressor_.compressFile(empty); }), Error(Error::compressionDidNotReduceSize{empty}));

    // Sparse files: nothing is read before the size check fails.
    const Path huge = dir_ / "huge";
    test::writeRawFile(huge, {});
    std::filesystem::resize_file(huge, std::uintmax_t{1} << 31);
    EXPECT_EQ(failureOf([&] { compressor_.compressFile(huge); }),
              Error(Error::fileTooLargeForFormat{huge, std::int64_t{1} << 31}));

    // One byte less passes the size check: the lock taken later is what stops it.
    const Path largest = dir_ / "largest";
    test::writeRawFile(largest, {});
    std::filesystem::resize_file(largest, (std::uintmax_t{1} << 31) - 1);
    const int holder = ::open(largest.c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    EXPECT_EQ(failureOf([&] { compressor_.compressFile(largest); }), Error(Error::fileInUse{largest}));
    ::close(holder);
}

TEST_F(FileCompressorFailureTest, FileLockedByAnotherHolder)
{
    const Path file = dir_ / "locked";
    const Bytes data = textBytes(40000, 2);
    test::writeRawFile(file, data);
    const int holder = ::open(file.c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_SH), 0);
    EXPECT_EQ(failureOf([&] { compressor_.compressFile(file); }), Error(Error::fileInUse{file}));
    EXPECT_EQ(test::readRawFile(file), data);
    EXPECT_FALSE(pathExists(temporaryOf(file)));
    ::close(holder);

    compressor_.compressFile(file);
    const int second = ::open(file.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(second, LOCK_EX), 0);
    EXPECT_EQ(failureOf([&] { compressor_.decompressFile(file); }), Error(Error::fileInUse{file}));
    EXPECT_TRUE(isCompressed(file));
    ::close(second);
}

TEST_F(FileCompressorFailureTest, ChangesDuringTheOperationAreCaught)
{
    const Bytes data = textBytes(300000, 3);
    const Path file = dir_ / "changing";

    struct Change {
        const char* name;
        std::int64_t threshold;
        std::function<void()> act;
    };
    const Change changes[] = {
        {"new mtime, in memory", FileCompressor::streamingThreshold,
         [&] { platform::utimensat(file, timespec{1, 0}, timespec{2, 0}); }},
        {"new mtime, streaming", 1, [&] { platform::utimensat(file, timespec{1, 0}, timespec{2, 0}); }},
        {"grown, in memory", FileCompressor::streamingThreshold,
         [&] {
             std::ofstream(file, std::ios::app | std::ios::binary) << "more";
         }},
        {"grown, streaming", 1, [&] { std::ofstream(file, std::ios::app | std::ios::binary) << "more"; }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.name);
        test::writeRawFile(file, data);
        platform::utimensat(file, timespec{100, 0}, timespec{200, 0});
        bool changed = false;
        {
            ScopedStepObserver observer([&](std::string_view step) {
                if (step == "restore mode" && !changed) {
                    changed = true;
                    change.act();
                }
            });
            EXPECT_EQ(failureOf([&] { compressor_.compressFile(file, change.threshold); }),
                      Error(Error::fileChangedDuringOperation{file}));
        }
        EXPECT_TRUE(changed);
        EXPECT_FALSE(isCompressed(file));
        EXPECT_FALSE(pathExists(temporaryOf(file)));
        const Bytes now = test::readRawFile(file);
        EXPECT_EQ(Bytes(now.begin(), now.begin() + static_cast<std::ptrdiff_t>(data.size())), data);
    }

    // Only a permission change: not a change of the file.
    test::writeRawFile(file, data);
    {
        ScopedStepObserver observer([&](std::string_view step) {
            if (step == "restore mode")
                platform::chmod(file, 0600);
        });
        compressor_.compressFile(file);
    }
    EXPECT_EQ(readThroughLayer(file), data);

    // A compressed file touched while it is decompressed.
    {
        ScopedStepObserver observer([&](std::string_view step) {
            if (step == "copy ACL")
                platform::utimensat(file, timespec{5, 0}, timespec{6, 0});
        });
        EXPECT_EQ(failureOf([&] { compressor_.decompressFile(file); }), Error(Error::fileChangedDuringOperation{file}));
    }
    EXPECT_TRUE(isCompressed(file));
    EXPECT_EQ(readThroughLayer(file), data);
    EXPECT_FALSE(pathExists(temporaryOf(file)));
}

TEST_F(FileCompressorFailureTest, SourceShrinkingWhileStreamedEndsEarly)
{
    const Path file = dir_ / "shrinking";
    test::writeRawFile(file, textBytes(400000, 4));
    bool cut = false;
    ScopedStepObserver observer([&](std::string_view step) {
        if (step == "write block" && !cut) {
            cut = true;
            std::filesystem::resize_file(file, 100000);
        }
    });
    EXPECT_EQ(failureOf([&] { compressor_.compressFile(file, 1); }),
              Error(Error::ioError{file, "unexpected EOF (got 34464, expected 65536)"}));
    EXPECT_FALSE(pathExists(temporaryOf(file)));
    EXPECT_FALSE(isCompressed(file));
}

TEST_F(FileCompressorFailureTest, TemporaryFileNameTaken)
{
    dir_.useAsHome();
    const Bytes data = textBytes(30000, 5);
    const Path file = dir_ / "report.txt";
    const Path temporary = dir_ / "report.txt.kvtmp";

    // Someone else's file: left alone, the operation refused.
    test::writeRawFile(file, data);
    test::writeRawFile(temporary, {'m', 'i', 'n', 'e'});
    EXPECT_EQ(failureOf([&] { compressor_.compressFile(file); }), Error(Error::temporaryFileConflict{temporary}));
    EXPECT_EQ(test::readRawFile(temporary), (Bytes{'m', 'i', 'n', 'e'}));
    EXPECT_EQ(test::readRawFile(file), data);
    std::filesystem::remove(temporary);

    std::filesystem::create_directory(temporary);
    EXPECT_EQ(failureOf([&] { compressor_.compressFile(file); }), Error(Error::temporaryFileConflict{temporary}));
    EXPECT_TRUE(std::filesystem::is_directory(temporary));
    std::filesystem::remove(temporary);

    // Someone else's compressed file: not even its stored form is touched.
    makeCompressedFile(temporary, DecmpfsHeader::encode(CompressionType::lzfseRsrc, 70000), textBytes(40000, 9));
    const Bytes storedFork = test::readRawFile(temporary);
    EXPECT_EQ(failureOf([&] { compressor_.compressFile(file); }), Error(Error::temporaryFileConflict{temporary}));
    EXPECT_EQ(test::readRawFile(temporary), storedFork);
    EXPECT_TRUE(isCompressed(temporary));
    std::filesystem::remove(temporary);

    std::filesystem::create_symlink(file, temporary);
    EXPECT_EQ(failureOf([&] { compressor_.compressFile(file); }), Error(Error::temporaryFileConflict{temporary}));
    EXPECT_TRUE(std::filesystem::is_symlink(temporary));
    std::filesystem::remove(temporary);

    // Our own leftover (marker with any value, even empty): removed and logged.
    const auto since = std::chrono::system_clock::now() - std::chrono::seconds(1);
    for (const Bytes& marker : {Bytes{1}, Bytes{}}) {
        test::writeRawFile(temporary, {'o', 'l', 'd'});
        setAttribute(temporary, "com.orbwright.kelvane.kvtmp", marker);
        if (isCompressed(file))
            compressor_.decompressFile(file);
        else
            compressor_.compressFile(file);
        EXPECT_FALSE(pathExists(temporary));
    }
    EXPECT_EQ(readThroughLayer(file), data);
    int debrisLines = 0;
    for (const auto& entry : platform::LogStore::currentProcess().entries(since)) {
        if (entry.category == "compression" && entry.message == "removing stale kvtmp debris at <private>")
            ++debrisLines;
    }
    EXPECT_EQ(debrisLines, 2);
}

TEST_F(FileCompressorFailureTest, LeftoverReappearingAfterTheUnlinkIsAConflict)
{
    const Path file = dir_ / "file";
    const Path temporary = temporaryOf(file);
    test::writeRawFile(file, textBytes(30000, 6));
    test::writeRawFile(temporary, {});
    setAttribute(temporary, "com.orbwright.kelvane.kvtmp", {1});
    // Someone puts a folder there between the unlink and the second open.
    ScopedStepObserver observer([&](std::string_view step) {
        if (step == "unlink stale kvtmp")
            std::filesystem::create_directory(temporary);
    });
    EXPECT_EQ(failureOf([&] { compressor_.compressFile(file); }), Error(Error::temporaryFileConflict{temporary}));
    EXPECT_TRUE(std::filesystem::is_directory(temporary));
    EXPECT_FALSE(isCompressed(file));
}

// The temporary file's name taken over by someone else after we created it:
// whatever now stands there is never renamed over the file, never followed and
// never removed, and the file stays exactly as it was.
TEST_F(FileCompressorFailureTest, TemporaryFileReplacedBeforeTheSwapIsNeverRenamedOver)
{
    const Bytes data = textBytes(300000, 12);
    const Path victim = dir_ / "victim";
    const Bytes victimData = textBytes(5000, 13);
    const auto victimAttributes = [&] {
        std::vector<char> names(4096);
        const ssize_t length = platform::listxattr(victim, names.data(), names.size(), platform::XATTR_SHOWCOMPRESSION);
        return std::string(names.data(), static_cast<std::size_t>(std::max<ssize_t>(length, 0)));
    };
    const Bytes foreign = {'n', 'o', 't', ' ', 'o', 'u', 'r', 's'};

    struct Road {
        const char* name;
        bool decompress;
        std::int64_t threshold;
    };
    const Road roads[] = {
        {"compress in memory", false, FileCompressor::streamingThreshold},
        {"compress streaming", false, 1},
        {"decompress in memory", true, FileCompressor::streamingThreshold},
        {"decompress streaming", true, 1},
    };
    for (const Road& road : roads) {
        for (const bool asSymlink : {true, false}) {
            for (const std::string_view when : {"create kvtmp", "set flags", "fsync kvtmp"}) {
                SCOPED_TRACE(std::string(road.name) + (asSymlink ? ", symlink" : ", foreign file") + " after " +
                             std::string(when));
                const Path file = dir_ / "file";
                const Path temporary = temporaryOf(file);
                std::filesystem::remove(victim);
                test::writeRawFile(victim, victimData);
                ASSERT_EQ(platform::chmod(victim, 0640), 0);
                ASSERT_EQ(platform::utimensat(victim, timespec{500, 0}, timespec{400, 0}), 0);
                const std::string attributesBefore = victimAttributes();
                test::writeRawFile(file, data);
                ASSERT_EQ(platform::chmod(file, 0604), 0);
                if (road.decompress)
                    compressor_.compressFile(file);
                const Bytes stored = test::readRawFile(file);
                bool swapped = false;
                {
                    ScopedStepObserver observer([&](std::string_view step) {
                        if (step != when || swapped)
                            return;
                        swapped = true;
                        std::filesystem::rename(temporary, dir_ / "moved-away");
                        if (asSymlink)
                            std::filesystem::create_symlink(victim, temporary);
                        else
                            test::writeRawFile(temporary, foreign);
                    });
                    const Error error = failureOf([&] {
                        if (road.decompress)
                            compressor_.decompressFile(file, road.threshold);
                        else
                            compressor_.compressFile(file, road.threshold);
                    });
                    if (when == "fsync kvtmp") {
                        EXPECT_EQ(error, Error(Error::temporaryFileConflict{temporary}));
                    }
                }
                ASSERT_TRUE(swapped);
                EXPECT_FALSE(std::filesystem::is_symlink(file));
                EXPECT_EQ(test::readRawFile(file), stored);
                EXPECT_EQ(isCompressed(file), road.decompress);
                EXPECT_EQ(readThroughLayer(file), data);
                if (asSymlink)
                    EXPECT_TRUE(std::filesystem::is_symlink(temporary));
                else
                    EXPECT_EQ(test::readRawFile(temporary), foreign);
                const platform::FileStat victimNow = statOf(victim);
                EXPECT_EQ(test::readRawFile(victim), victimData);
                EXPECT_EQ(victimNow.flags, 0u);
                EXPECT_EQ(victimNow.mode & 07777, 0640u);
                EXPECT_EQ(victimNow.mtime.tv_sec, 400);
                EXPECT_EQ(victimAttributes(), attributesBefore);
                std::filesystem::remove(temporary);
                std::filesystem::remove(dir_ / "moved-away");
                std::filesystem::remove(file);
            }
        }
    }
}

// Writes that fail part-way (a file-size limit here, a full disk in the field)
// end every road with a failure; the file is left exactly as it was and no
// temporary file remains.
TEST_F(FileCompressorFailureTest, WritesFailingPartWayLeaveTheFileAsItWas)
{
    const Bytes data = noisyBytes(300000, 14);
    const Path file = dir_ / "file";
    const Path compressed = dir_ / "compressed";
    test::writeRawFile(file, data);
    test::writeRawFile(compressed, data);
    compressor_.compressFile(compressed);
    const Bytes storedCompressed = test::readRawFile(compressed);

    struct rlimit previous {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = previous;
    limited.rlim_cur = 100000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const auto expectIoError = [&](auto call, const char* road) {
        SCOPED_TRACE(road);
        const Error error = failureOf(call);
        EXPECT_EQ(error.kind(), Error::Kind::ioError) << error.description();
    };
    expectIoError([&] { compressor_.compressFile(file); }, "compress in memory");
    expectIoError([&] { compressor_.compressFile(file, 1); }, "compress streaming");
    expectIoError([&] { compressor_.decompressFile(compressed); }, "decompress in memory");
    expectIoError([&] { compressor_.decompressFile(compressed, 1); }, "decompress streaming");
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(test::readRawFile(file), data);
    EXPECT_FALSE(isCompressed(file));
    EXPECT_EQ(test::readRawFile(compressed), storedCompressed);
    EXPECT_EQ(readThroughLayer(compressed), data);
    EXPECT_FALSE(pathExists(temporaryOf(file)));
    EXPECT_FALSE(pathExists(temporaryOf(compressed)));
}

// The file swapped for a link to another file right after its snapshot: the
// lock is never taken on the link's target and nothing of the target is read
// into a temporary file.
TEST_F(FileCompressorFailureTest, FileSwappedForALinkAfterTheSnapshotIsNeverFollowed)
{
    const Path secret = dir_ / "secret";
    const Bytes secretData = textBytes(40000, 15);
    test::writeRawFile(secret, secretData);
    const Path file = dir_ / "file";

    for (const std::int64_t threshold : {FileCompressor::streamingThreshold, std::int64_t{1}}) {
        SCOPED_TRACE(threshold);
        test::writeRawFile(file, textBytes(40000, 16));
        std::vector<std::string> steps;
        {
            ScopedStepObserver observer([&](std::string_view step) {
                steps.emplace_back(step);
                if (step == "lstat" && steps.size() == 1) {
                    std::filesystem::remove(file);
                    std::filesystem::create_symlink(secret, file);
                }
            });
            EXPECT_EQ(failureOf([&] { compressor_.compressFile(file, threshold); }),
                      Error(Error::fileChangedDuringOperation{file}));
        }
        EXPECT_EQ(steps, std::vector<std::string>{"lstat"});
        EXPECT_TRUE(std::filesystem::is_symlink(file));
        EXPECT_EQ(test::readRawFile(secret), secretData);
        EXPECT_FALSE(isCompressed(secret));
        std::filesystem::remove(file);
    }
}

}  // namespace
}  // namespace kelvane::engine
