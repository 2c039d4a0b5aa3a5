// SPDX-License-Identifier: MIT
// Compressing is refused where no kelvanefs mount serves the file; undoing a
// compression is allowed everywhere.

#include "EngineFixtures.h"

#include "engine/Eligibility.h"
#include "engine/FileCompressionError.h"

namespace kelvane::engine::fixtures {
namespace {

// The rule as every program has it (the test binaries turn it off).
class MountRuleOn {
public:
    MountRuleOn() { Eligibility::enforceMountRule(true); }
    ~MountRuleOn() { Eligibility::enforceMountRule(false); }
};

TEST(MountRuleTest, NoFileIsCompressedWhereNoMountServesItButEveryRoadStillDecompresses)
{
    test::TempDir temp;
    for (const auto& road : fourRoads) {
        SCOPED_TRACE(road.name);
        const Path file = temp.path() / (std::string(road.name) + ".txt");
        const Bytes original = textBytes(200000, 3);
        test::writeRawFile(file, original);
        if (road.decompress)
            FileCompressor{}.compressFile(file);  // while the rule is off: a file compressed before it
        const platform::FileStat before = statOf(file);

        const MountRuleOn rule;
        if (road.decompress) {
            road.run(file);
            EXPECT_FALSE(isCompressed(file));
            EXPECT_EQ(readThroughLayer(file), original);
            continue;
        }
        const auto error = thrown<FileCompressionError>([&] { road.run(file); });
        ASSERT_EQ(error.kind(), FileCompressionError::Kind::notServedByMount) << error.description();
        EXPECT_EQ(error.url(), file);
        EXPECT_NE(error.description().find("kelvanefs"), std::string::npos) << error.description();
        // Nothing was touched: same inode, same bytes, no temporary file.
        const platform::FileStat after = statOf(file);
        EXPECT_EQ(after.ino, before.ino);
        EXPECT_FALSE(isCompressed(file));
        EXPECT_EQ(readThroughLayer(file), original);
        EXPECT_FALSE(pathExists(temporaryOf(file)));
    }
}

}  // namespace
}  // namespace kelvane::engine::fixtures
