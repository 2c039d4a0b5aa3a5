// SPDX-License-Identifier: MIT
#include "engine/FileCompressionError.h"
#include "engine/FileCompressor.h"
#include "engine/TemporaryFile.h"
#include "platform/LogStore.h"

#include "EngineFixtures.h"

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

// What a hostile user or a crowded inode does to the per-file roads: a full
// attribute space, the path swapped under a running operation, names at the
// length limit and markers left where they do not belong.

namespace kelvane::engine {
namespace {

using namespace fixtures;
using Error = FileCompressionError;

const auto& roads = fourRoads;

// The user attributes of a file, name to value, read through the host.
std::map<std::string, Bytes> userAttributes(const Path& path)
{
    std::map<std::string, Bytes> out;
    std::vector<char> names(65536);
    const ssize_t length = ::llistxattr(path.c_str(), names.data(), names.size());
    for (ssize_t start = 0; start < length;) {
        const std::string name(names.data() + start);
        start += static_cast<ssize_t>(name.size()) + 1;
        if (name.rfind("user.fill.", 0) != 0)
            continue;
        Bytes value(4096);
        const ssize_t got = ::lgetxattr(path.c_str(), name.c_str(), value.data(), value.size());
        value.resize(static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
        out[name] = value;
    }
    return out;
}

// Fills the attribute space of `path` to the last byte: a small first value
// (kept in the inode itself on ext4), values of 300 bytes until none fits,
// then one "fill.pad" as large as fits. Returns the size of the pad; `count`
// is the number of 300-byte values ("fill.0", "fill.1", ...).
std::size_t fillAttributes(const Path& path, int& count)
{
    const Bytes first(40, 'f');
    EXPECT_EQ(platform::setxattr(path, "fill.first", first.data(), first.size(), 0, 0), 0);
    for (count = 0;; ++count) {
        const Bytes value(300, static_cast<std::uint8_t>('a' + count % 26));
        if (platform::setxattr(path, "fill." + std::to_string(count), value.data(), value.size(), 0, 0) != 0)
            break;
    }
    EXPECT_EQ(errno, ENOSPC) << "the attribute space was not what ran out";
    for (std::size_t pad = 1000; pad > 0; --pad) {
        const Bytes value(pad, 'p');
        if (platform::setxattr(path, "fill.pad", value.data(), value.size(), 0, 0) == 0)
            return pad;
    }
    return 0;
}

// A file whose attributes fill its inode to the last byte, then a few bytes
// less each time until the operation goes through: at every level each road
// either carries every attribute over or fails with an ioError and leaves the
// file exactly as it was.
TEST(FileCompressorHostileTest, FullAttributeSpaceNeverLosesAnAttribute)
{
    test::TempDir dir;
    dir.useAsHome();
    for (const fixtures::Road& road : roads) {
        for (const bool compressible : {true, false}) {
            SCOPED_TRACE(std::string(road.name) + (compressible ? ", text" : ", noisy bytes"));
            const Path file = dir / "crowded";
            std::filesystem::remove(file);
            const Bytes data = compressible ? textBytes(100000, 21) : noisyBytes(100000, 22);
            test::writeRawFile(file, data);
            if (road.decompress)
                FileCompressor().compressFile(file);
            int count = 0;
            std::size_t pad = fillAttributes(file, count);
            int failures = 0;
            for (bool done = false; !done; pad -= 16) {
                if (pad <= 16) {  // a 300-byte value less, as many bytes more for the pad
                    ASSERT_GT(count, 0) << "never went through";
                    ASSERT_EQ(platform::removexattr(file, "fill." + std::to_string(--count), 0), 0);
                    pad += 300;
                }
                SCOPED_TRACE("pad of " + std::to_string(pad) + " bytes");
                const Bytes padValue(pad, 'p');
                ASSERT_EQ(platform::setxattr(file, "fill.pad", padValue.data(), padValue.size(), 0, 0), 0);
                const auto attributesBefore = userAttributes(file);
                const Bytes rawBefore = test::readRawFile(file);
                try {
                    road.run(file);
                    done = true;
                    EXPECT_EQ(isCompressed(file), !road.decompress);
                } catch (const Error& error) {
                    ++failures;
                    ASSERT_EQ(error.kind(), Error::Kind::ioError) << error.description();
                    EXPECT_EQ(test::readRawFile(file), rawBefore);
                    EXPECT_EQ(isCompressed(file), road.decompress);
                }
                EXPECT_EQ(userAttributes(file), attributesBefore);
                EXPECT_EQ(readThroughLayer(file), data);
                EXPECT_FALSE(pathExists(temporaryOf(file)));
                if (::testing::Test::HasFailure())
                    return;
            }
            // The records of the compressed form need their share of the space.
            if (!road.decompress) {
                EXPECT_GT(failures, 0);
            }
        }
    }

    // The replacement's space taken by someone else just while the
    // attributes are copied, and given back right after: a copy that failed
    // then is a failure of the operation, never a success without it.
    for (const fixtures::Road& road : roads) {
        SCOPED_TRACE(std::string(road.name) + ", space taken during the copy");
        const Path file = dir / "plain";
        std::filesystem::remove(file);
        const Bytes data = textBytes(100000, 27);
        test::writeRawFile(file, data);
        if (road.decompress)
            FileCompressor().compressFile(file);
        setAttribute(file, "user.tag", Bytes(200, 't'));
        const Bytes rawBefore = test::readRawFile(file);
        const Path temporary = TemporaryFile::pathFor(file);
        std::vector<std::string> taken;
        {
            ScopedStepObserver observer([&](std::string_view step) {
                if (step == "create kvtmp") {
                    for (;;) {
                        const std::string name = "taken." + std::to_string(taken.size());
                        const Bytes value(100, 'x');
                        if (platform::setxattr(temporary, name, value.data(), value.size(), 0, 0) != 0)
                            break;
                        taken.push_back(name);
                    }
                } else if (step == "copy attributes" || step == "copy ACL") {
                    for (const std::string& name : taken)
                        platform::removexattr(temporary, name, 0);
                    taken.clear();
                }
            });
            EXPECT_EQ(thrown<Error>([&] { road.run(file); }),
                      Error(Error::ioError{temporary, "setxattr user.tag: errno=" + std::to_string(ENOSPC)}));
        }
        EXPECT_EQ(test::readRawFile(file), rawBefore);
        EXPECT_EQ(isCompressed(file), road.decompress);
        EXPECT_EQ(attribute(file, "user.tag"), Bytes(200, 't'));
        EXPECT_FALSE(pathExists(temporary));
    }
}

// What the path is swapped for while an operation runs.
enum class Swap { linkToOther, linkToZero, fifo, otherFile };

struct SwapPlan {
    Path file;
    Path aside;
    Path other;
    Swap kind;
    int swapAt = 0;  // the step at which the path is swapped
    int steps = 0;
};
SwapPlan swapPlan;

void swapAtStep(std::string_view)
{
    SwapPlan& plan = swapPlan;
    ++plan.steps;
    if (plan.steps == plan.swapAt) {
        std::filesystem::rename(plan.file, plan.aside);
        switch (plan.kind) {
        case Swap::linkToOther:
            std::filesystem::create_symlink(plan.other, plan.file);
            break;
        case Swap::linkToZero:
            std::filesystem::create_symlink("/dev/zero", plan.file);
            break;
        case Swap::fifo:
            ::mkfifo(plan.file.c_str(), 0600);
            break;
        case Swap::otherFile:
            std::filesystem::copy_file(plan.other, plan.file);
            break;
        }
    } else if (plan.steps == plan.swapAt + 1) {
        // The original back before the swap: the change check cannot tell.
        std::filesystem::remove(plan.file);
        std::filesystem::rename(plan.aside, plan.file);
    }
}

// The path swapped for a link to another file, to /dev/zero, for a FIFO or
// for another file at each step of each road, and put back at the next step:
// nothing but the original is ever read, nothing hangs, and a success always
// leaves the original's bytes. Each run is a child that a hang cannot stall.
TEST(FileCompressorHostileTest, PathSwappedAtEveryStepIsNeverRead)
{
    test::TempDir dir;
    dir.useAsHome();
    const Bytes data = textBytes(200000, 23);
    const Path other = dir / "other";
    Bytes otherData = textBytes(200000, 24);  // as long as the file: the size check cannot tell either
    test::writeRawFile(other, otherData);
    setAttribute(other, "other.only", {'x'});
    const Swap kinds[] = {Swap::linkToOther, Swap::linkToZero, Swap::fifo, Swap::otherFile};
    int runs = 0;
    for (const fixtures::Road& road : roads) {
        for (const Swap kind : kinds) {
            bool ranPastEveryStep = false;
            for (int swapAt = 1; !ranPastEveryStep && swapAt < 100; ++swapAt) {
                SCOPED_TRACE(std::string(road.name) + ", swap kind " + std::to_string(static_cast<int>(kind)) +
                             " at step " + std::to_string(swapAt));
                const Path file = dir / "file";
                const Path aside = dir / "aside";
                std::filesystem::remove(file);
                std::filesystem::remove(aside);
                test::writeRawFile(file, data);
                if (road.decompress)
                    FileCompressor().compressFile(file);
                const Bytes rawBefore = test::readRawFile(file);

                const pid_t child = ::fork();
                ASSERT_GE(child, 0);
                if (child == 0) {
                    ::alarm(20);
                    swapPlan = SwapPlan{file, aside, other, kind, swapAt, 0};
                    setStepObserver(swapAtStep);
                    int code = 0;
                    try {
                        road.run(file);
                    } catch (const Error&) {
                        code = 1;
                    } catch (...) {
                        code = 2;
                    }
                    // 4 when the run ended before the step of the swap came.
                    ::_exit(swapPlan.steps < swapAt ? 4 : code);
                }
                int status = 0;
                ASSERT_EQ(::waitpid(child, &status, 0), child);
                ++runs;
                if (pathExists(aside)) {  // the child died between the swap and the put-back
                    std::filesystem::remove(file);
                    std::filesystem::rename(aside, file);
                }
                ASSERT_TRUE(WIFEXITED(status)) << "the operation hung or crashed (signal "
                                               << (WIFSIGNALED(status) ? WTERMSIG(status) : 0) << ")";
                const int code = WEXITSTATUS(status);
                ASSERT_NE(code, 2) << "a failure of another type";
                ranPastEveryStep = code == 4;
                EXPECT_FALSE(std::filesystem::is_symlink(file));
                if (code == 0 || code == 4) {
                    EXPECT_EQ(isCompressed(file), !road.decompress);
                    EXPECT_EQ(readThroughLayer(file), data) << "success with other bytes";
                    EXPECT_FALSE(attribute(file, "other.only").has_value());
                } else {
                    EXPECT_EQ(test::readRawFile(file), rawBefore);
                }
                EXPECT_EQ(test::readRawFile(other), otherData);
                EXPECT_FALSE(pathExists(temporaryOf(file)));
                if (::testing::Test::HasFailure())
                    return;
            }
            EXPECT_TRUE(ranPastEveryStep);
        }
    }
    EXPECT_GT(runs, 100);
}

// Names of 249 to 255 bytes, ASCII and Japanese (3 bytes a character): every
// road works, and the temporary name used for the long ones fits, ends in
// ".kvtmp" and differs between names that share a long beginning.
TEST(FileCompressorHostileTest, NamesAtTheLengthLimitAreCompressed)
{
    test::TempDir dir;
    dir.useAsHome();
    const Bytes data = textBytes(100000, 25);
    std::vector<std::string> names;
    for (std::size_t length = 249; length <= 255; ++length) {
        names.push_back(std::string(length, 'a'));
        std::string japanese;
        while (japanese.size() + 3 <= length)
            japanese += "あ";
        japanese += std::string(length - japanese.size(), 'b');
        names.push_back(japanese);
        // The same beginning, another end: another temporary name.
        if (japanese.back() == 'b')
            japanese.back() = 'c';
        else
            japanese.replace(japanese.size() - 3, 3, "い");
        names.push_back(japanese);
    }
    std::set<Path> temporaryNames;
    for (const std::string& name : names) {
        SCOPED_TRACE(std::to_string(name.size()) + " bytes: " + name);
        const Path file = dir / name;
        const Path temporary = TemporaryFile::pathFor(file);
        EXPECT_LE(temporary.filename().native().size(), 255u);
        EXPECT_TRUE(temporary.native().ends_with(".kvtmp"));
        EXPECT_EQ(temporary.parent_path(), file.parent_path());
        EXPECT_TRUE(temporaryNames.insert(temporary).second) << "two files share a temporary name";
        test::writeRawFile(file, data);
        for (const fixtures::Road& road : roads) {
            SCOPED_TRACE(road.name);
            if (road.decompress) {
                ASSERT_NO_THROW(FileCompressor().compressFile(file));
            }
            ASSERT_NO_THROW(road.run(file));
            EXPECT_EQ(readThroughLayer(file), data);
            EXPECT_FALSE(pathExists(temporary));
            if (!road.decompress) {
                ASSERT_NO_THROW(FileCompressor().decompressFile(file));
            }
        }
        // A leftover of ours at the shortened name is found and removed.
        test::writeRawFile(temporary, {'o', 'l', 'd'});
        setAttribute(temporary, std::string(TemporaryFile::markerName), TemporaryFile::markerFor(file));
        ASSERT_NO_THROW(FileCompressor().compressFile(file));
        EXPECT_FALSE(pathExists(temporary));
        std::filesystem::remove(file);
    }
}

// A marker names the file it was made for: a marker left on a file after its
// rename is removed by the next operation on that file, whatever the
// operation's outcome, and a file that carries its own marker is never taken
// for another file's leftover.
TEST(FileCompressorHostileTest, StrayMarkersAreRemovedAndNeverDecideADeletion)
{
    test::TempDir dir;
    dir.useAsHome();
    const FileCompressor compressor;
    const Bytes data = textBytes(50000, 26);
    const Path file = dir / "report";
    const Path named = dir / "report.kvtmp";  // a user's file that has the temporary file's name
    const std::string marker(TemporaryFile::markerName);

    test::writeRawFile(file, data);
    compressor.compressFile(file);
    setAttribute(file, marker, TemporaryFile::markerFor(file));
    EXPECT_EQ(thrown<Error>([&] { compressor.compressFile(file); }).kind(), Error::Kind::alreadyCompressed);
    EXPECT_FALSE(attribute(file, marker).has_value());

    // Compressed, then left with its own stray marker: still the user's file.
    test::writeRawFile(named, data);
    compressor.compressFile(named);
    setAttribute(named, marker, TemporaryFile::markerFor(named));
    EXPECT_EQ(thrown<Error>([&] { compressor.decompressFile(file); }),
              Error(Error::temporaryFileConflict{named}));
    EXPECT_TRUE(isCompressed(named));
    EXPECT_EQ(readThroughLayer(named), data);

    // Its own next operation takes the marker off; it is no leftover then either.
    compressor.decompressFile(named);
    EXPECT_FALSE(attribute(named, marker).has_value());
    EXPECT_EQ(test::readRawFile(named), data);
    EXPECT_EQ(thrown<Error>([&] { compressor.decompressFile(file); }),
              Error(Error::temporaryFileConflict{named}));

    // A marker on the file that is never copied onto its replacement.
    std::filesystem::remove(named);
    setAttribute(file, marker, {1});
    compressor.decompressFile(file);
    EXPECT_FALSE(attribute(file, marker).has_value());
    EXPECT_EQ(readThroughLayer(file), data);
}

}  // namespace
}  // namespace kelvane::engine
