// SPDX-License-Identifier: MIT
#include "engine/FileCompressor.h"
#include "engine/ReplacementSteps.h"
#include "platform/LogStore.h"

#include "EngineFixtures.h"

#include <gtest/gtest.h>

#include <set>
#include <sys/xattr.h>
#include <unistd.h>

namespace kelvane::engine {
namespace {

using namespace fixtures;

std::vector<std::string> compressionLog(std::chrono::system_clock::time_point since)
{
    std::vector<std::string> lines;
    for (const auto& entry : platform::LogStore::currentProcess().entries(since)) {
        if (entry.category == "compression")
            lines.push_back(entry.message);
    }
    return lines;
}

TEST(ReplacementStepsTest, AttributeNamesThatAreNotUtf8AreDroppedAndLogged)
{
    test::TempDir dir;
    dir.useAsHome();
    const auto since = std::chrono::system_clock::now() - std::chrono::seconds(1);
    const Path file = dir / "named";
    const Bytes data = textBytes(20000, 41);
    test::writeRawFile(file, data);
    setAttribute(file, "com.example.kept", {'y', 'e', 's'});
    setAttribute(file, "com.example.日本語", {'j', 'a'});
    setAttribute(file, "com.example.empty", {});
    // Names the layer passes through byte for byte: a stray byte and an overlong encoding.
    ASSERT_EQ(::setxattr(file.c_str(), "user.bad\xff", "1", 1, 0), 0);
    ASSERT_EQ(::setxattr(file.c_str(), "user.overlong\xc0\xaf", "2", 1, 0), 0);

    const std::vector<std::string> names = replacement::listExtendedAttributeNames(file);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
              (std::set<std::string>{"com.example.kept", "com.example.日本語", "com.example.empty"}));

    FileCompressor().compressFile(file);
    EXPECT_EQ(attribute(file, "com.example.kept"), (Bytes{'y', 'e', 's'}));
    EXPECT_EQ(attribute(file, "com.example.日本語"), (Bytes{'j', 'a'}));
    EXPECT_EQ(attribute(file, "com.example.empty"), Bytes{});
    EXPECT_EQ(::getxattr(file.c_str(), "user.bad\xff", nullptr, 0), -1);
    const std::vector<std::string> lines = compressionLog(since);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) { return line.find("not UTF-8") != std::string::npos; }),
              4)
        << "one line per dropped name, from the listing above and from the copy";
    EXPECT_EQ(readThroughLayer(file), data);
}

TEST(ReplacementStepsTest, NeverCopiedNamesAreExact)
{
    EXPECT_TRUE(replacement::isNeverCopied("com.apple.decmpfs"));
    EXPECT_TRUE(replacement::isNeverCopied("com.apple.ResourceFork"));
    EXPECT_FALSE(replacement::isNeverCopied("com.apple.decmpfs2"));
    EXPECT_FALSE(replacement::isNeverCopied("com.apple.resourcefork"));
    EXPECT_FALSE(replacement::isNeverCopied("com.apple.FinderInfo"));
}

// An owner without privileges keeps the owner-settable flags and loses the
// super-user ones rather than the operation; ownership stays theirs.
TEST_F(AsNobodyTest, ReplacementByAnUnprivilegedOwnerKeepsOnlyOwnerFlags)
{
    ASSERT_EQ(::chmod(folder_.c_str(), 0777), 0);
    const Path file = folder_ / "owned";
    const Bytes data = textBytes(30000, 42);
    test::writeRawFile(file, data);
    ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
    ASSERT_EQ(platform::chflags(file, platform::SF_ARCHIVED | platform::UF_HIDDEN), 0);

    ASSERT_EQ(reportAsNobody([&] {
                  FileCompressor().compressFile(file);
                  return std::string("compressed");
              }),
              "compressed");
    const platform::FileStat st = statOf(file);
    EXPECT_EQ(st.flags, platform::UF_HIDDEN | platform::UF_COMPRESSED);
    EXPECT_EQ(st.uid, 65534u);
    EXPECT_EQ(readThroughLayer(file), data);
}

}  // namespace
}  // namespace kelvane::engine
