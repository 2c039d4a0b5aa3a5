// SPDX-License-Identifier: MIT
#include "engine/InPlaceDecompression.h"

#include "engine/FileCompressionError.h"
#include "engine/FileCompressor.h"
#include "engine/StepObserver.h"

#include "EngineFixtures.h"

#include <gtest/gtest.h>

namespace kelvane::engine {
namespace {

using namespace fixtures;

// A compressed file with a second name.
void makeLinkedPair(const Path& file, const Path& other, const Bytes& data)
{
    std::filesystem::remove(file);
    std::filesystem::remove(other);
    test::writeRawFile(file, data);
    platform::utimensat(file, timespec{1700000000, 5}, timespec{1700000100, 7});
    FileCompressor().compressFile(file);
    std::filesystem::create_hard_link(file, other);
}

TEST(InPlaceDecompressionTest, EveryNameReadsThePlainFileAndKeepsItsTimes)
{
    test::TempDir dir;
    dir.useAsHome();
    std::filesystem::create_directories(dir / "sub");
    const Bytes data = textBytes(300000, 3);
    makeLinkedPair(dir / "a.log", dir / "sub/b.log", data);
    const platform::FileStat before = statOf(dir / "a.log");

    decompressInPlace(dir / "a.log");
    for (const Path& name : {dir / "a.log", dir / "sub/b.log"}) {
        EXPECT_FALSE(isCompressed(name)) << name;
        EXPECT_EQ(test::readRawFile(name), data) << name;
        EXPECT_EQ(statOf(name).ino, before.ino) << "the same inode: still one file";
        EXPECT_EQ(statOf(name).nlink, 2u);
        EXPECT_EQ(statOf(name).mtime.tv_sec, before.mtime.tv_sec);
        EXPECT_EQ(statOf(name).mtime.tv_nsec, before.mtime.tv_nsec);
    }
    EXPECT_FALSE(pathExists(temporaryOf(dir / "a.log")));
    EXPECT_FALSE(attribute(dir / "a.log", redoRecordName));
    EXPECT_FALSE(finishInPlaceDecompression(dir / "a.log")) << "nothing left to finish";
    EXPECT_EQ(thrown<FileCompressionError>([&] { decompressInPlace(dir / "a.log"); }).kind(),
              FileCompressionError::Kind::notCompressed);
}

// Kills the decompression after its 1st, 2nd, ... step until it runs to its
// end. After every kill both names read the original, once whoever comes
// next (here the next decompression, or a finish through the other name)
// has seen the record.
TEST(InPlaceDecompressionTest, KilledAtEveryStepEveryNameReadsTheOriginal)
{
    test::TempDir dir;
    dir.useAsHome();
    const Bytes data = textBytes(300000, 11);
    const Path file = dir / "victim.txt";
    const Path other = dir / "other.txt";  // a name in the copy's folder
    int kills = 0;
    int recorded = 0;
    bool finished = false;
    for (int stopAt = 1; !finished && stopAt < 200; ++stopAt) {
        SCOPED_TRACE("killed at step " + std::to_string(stopAt));
        makeLinkedPair(file, other, data);
        if (runKilledAtStep([&] { decompressInPlace(file); }, stopAt))
            finished = true;
        else
            ++kills;
        if (attribute(file, redoRecordName)) {
            ++recorded;
            ASSERT_TRUE(finishInPlaceDecompression(stopAt % 2 ? other : file));
        } else if (isCompressed(file)) {
            EXPECT_EQ(readThroughLayer(other), data);
            ASSERT_NO_THROW(decompressInPlace(file));  // and clears what the killed one left
        }
        for (const Path& name : {file, other}) {
            EXPECT_FALSE(isCompressed(name)) << name;
            EXPECT_EQ(test::readRawFile(name), data) << name;
            EXPECT_EQ(statOf(name).nlink, 2u) << name;
        }
        EXPECT_FALSE(pathExists(temporaryOf(file)));
        EXPECT_FALSE(attribute(file, redoRecordName));
    }
    EXPECT_TRUE(finished) << "never ran to the end";
    EXPECT_GE(kills, 6);
    EXPECT_GE(recorded, 3) << "kills while the record stood";
}

}  // namespace
}  // namespace kelvane::engine
