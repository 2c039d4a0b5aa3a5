// SPDX-License-Identifier: MIT
// Programs Kelvane runs (kelvanefs, fusermount3): their output and status
// come back, a hung one is killed at the limit, a daemon that detaches does
// not hold the caller, and none gets the caller's descriptors.

#include "platform/ChildProcess.h"
#include "platform/UniqueFd.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace kelvane::platform {
namespace {

using namespace std::chrono_literals;

TEST(ChildProcessTest, OutputAndStatusComeBackAndAMissingProgramIsSaidSo)
{
    const ChildResult ran = runChild({"sh", "-c", "echo said; echo complained >&2; exit 3"}, 30s);
    EXPECT_TRUE(ran.started);
    EXPECT_FALSE(ran.timedOut);
    EXPECT_EQ(ran.exitStatus, 3);
    EXPECT_EQ(ran.output, "said\ncomplained\n");
    EXPECT_FALSE(ran.succeeded());
    EXPECT_EQ(ran.failureText(), "exit 3: said\ncomplained");

    const ChildResult missing = runChild({"/nonexistent/fusermount3", "-V"}, 30s);
    EXPECT_FALSE(missing.started);
    EXPECT_EQ(missing.startError, ENOENT);
    EXPECT_FALSE(missing.succeeded());

    EXPECT_TRUE(runChild({"true"}, 30s).succeeded()) << "a bare name is looked up on PATH";
}

TEST(ChildProcessTest, AHungProgramIsKilledAtTheLimitAndADetachedDaemonDoesNotHoldTheCaller)
{
    const ChildResult hung = runChild({"sleep", "600"}, 200ms);
    EXPECT_TRUE(hung.timedOut);
    EXPECT_FALSE(hung.succeeded());

    // As kelvanefs does: the daemon lets go of the output, its parent exits
    // (and says the daemon's process id, to end it here).
    const ChildResult detached = runChild({"sh", "-c", "sleep 600 </dev/null >/dev/null 2>&1 & echo $!"}, 10s);
    const pid_t daemon = static_cast<pid_t>(std::atol(detached.output.c_str()));
    ASSERT_GT(daemon, 0) << detached.output;
    EXPECT_EQ(::kill(daemon, SIGKILL), 0) << "the daemon still ran";
    EXPECT_TRUE(detached.succeeded()) << detached.failureText();
}

TEST(ChildProcessTest, TheProgramGetsNoDescriptorOfTheCaller)
{
    UniqueFd inherited(::open("/dev/null", O_RDONLY));  // without O_CLOEXEC on purpose
    ASSERT_TRUE(inherited);
    const std::string number = std::to_string(inherited.get());
    const ChildResult listed = runChild({"sh", "-c", "test -e /proc/self/fd/" + number + " && echo open || echo closed"}, 30s);
    EXPECT_EQ(listed.output, "closed\n") << "descriptor " << number;
}

}  // namespace
}  // namespace kelvane::platform
