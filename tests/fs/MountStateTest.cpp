// SPDX-License-Identifier: MIT
// What the platform tells of a kelvanefs mount: live while its daemon answers,
// dead once the daemon is gone, and without its socket when that is removed.

#include "fs/MountFixture.h"

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

}  // namespace
}  // namespace kelvane::fs::test
