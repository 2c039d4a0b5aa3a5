// SPDX-License-Identifier: MIT
// What the platform tells of a kelvanefs mount: live while its daemon answers,
// dead once the daemon is gone, and without its socket when that is removed.

#include "fs/MountFixture.h"

#include "engine/Eligibility.h"
#include "engine/FileCompressionError.h"
#include "engine/FileCompressor.h"
#include "platform/FileFlags.h"
#include "platform/KelvanefsMount.h"

namespace kelvane::fs::test {
namespace {

using platform::KelvanefsMountHealth;

class MountStateTest : public MountTest {};

std::optional<KelvanefsMountHealth> healthAt(const Path& path)
{
    const auto state = platform::kelvanefsMountState(path);
    if (!state)
        return std::nullopt;
    return state->health;
}

bool listed(const Path& mountPoint, KelvanefsMountHealth health)
{
    for (const auto& state : platform::kelvanefsMountStates())
        if (state.entry.mountPoint == mountPoint)
            return state.health == health;
    return false;
}

TEST_F(MountStateTest, AMountIsLiveThenWithoutItsSocketThenDeadOnceItsDaemonIsKilled)
{
    std::filesystem::create_directories(folder() / "inner");
    EXPECT_EQ(healthAt(folder() / "inner"), std::nullopt) << "no mount covers the folder yet";

    Mount& mount = mountFolder();
    EXPECT_EQ(healthAt(folder() / "inner" / "file.txt"), KelvanefsMountHealth::live);
    EXPECT_TRUE(listed(folder(), KelvanefsMountHealth::live));
    EXPECT_TRUE(platform::isOwnKelvanefsMount(platform::kelvanefsMountState(folder())->entry));

    const Path socket = platform::kelvanefsSocketPath(folder());
    ASSERT_TRUE(std::filesystem::remove(socket)) << socket;
    EXPECT_EQ(healthAt(folder()), KelvanefsMountHealth::socketMissing);

    mount.kill();
    ASSERT_TRUE(isKelvanefsMountAt(folder())) << "a killed daemon leaves its mount behind";
    EXPECT_EQ(healthAt(folder() / "inner"), KelvanefsMountHealth::dead);
    EXPECT_TRUE(listed(folder(), KelvanefsMountHealth::dead));
}

// The engine's rule, as every program has it: a file is compressed only while
// a live mount serves it.
TEST_F(MountStateTest, AFileIsCompressedOnlyWhileALiveMountServesIt)
{
    engine::Eligibility::enforceMountRule(true);
    struct Off {
        ~Off() { engine::Eligibility::enforceMountRule(false); }
    } restore;
    Bytes text;
    for (int i = 0; text.size() < 100000; ++i) {
        const std::string line = "line " + std::to_string(i % 97) + " of the ledger\n";
        text.insert(text.end(), line.begin(), line.end());
    }
    kelvane::test::writeRawFile(at("a.txt"), text);
    kelvane::test::writeRawFile(at("b.txt"), text);
    const engine::FileCompressor compressor;

    const auto refusal = [&](const std::string& name) -> std::optional<engine::FileCompressionError> {
        try {
            compressor.compressFile(at(name));
        } catch (const engine::FileCompressionError& error) {
            return error;
        }
        return std::nullopt;
    };
    const auto unmounted = refusal("a.txt");
    ASSERT_TRUE(unmounted);
    EXPECT_EQ(unmounted->kind(), engine::FileCompressionError::Kind::notServedByMount);

    Mount& mount = mountFolder();
    ASSERT_EQ(refusal("a.txt"), std::nullopt) << "a live mount serves the folder";
    EXPECT_EQ(readAll(at("a.txt")), text) << "every program reads the original";

    mount.kill();
    const auto dead = refusal("b.txt");
    ASSERT_TRUE(dead);
    EXPECT_EQ(dead->kind(), engine::FileCompressionError::Kind::notServedByMount) << dead->description();
    unmount();
    runProgram({"fusermount3", "-u", "-z", folder().string()});
    platform::FileStat below;
    ASSERT_EQ(platform::lstat(at("b.txt"), below), 0);
    EXPECT_EQ(below.flags & platform::UF_COMPRESSED, 0u) << "nothing touched while the daemon was dead";
    EXPECT_EQ(readAll(at("b.txt")), text);
}

}  // namespace
}  // namespace kelvane::fs::test
