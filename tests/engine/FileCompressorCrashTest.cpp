// SPDX-License-Identifier: MIT
#include "engine/FileCompressor.h"
#include "engine/StepObserver.h"
#include "engine/SwapBatch.h"

#include "EngineFixtures.h"

#include <gtest/gtest.h>

#include "engine/TemporaryFile.h"

#include <csignal>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kelvane::engine {
namespace {

using namespace fixtures;

// Kills a child running one operation after its 1st, 2nd, ... step until an
// operation runs to its end. After every kill the file is either exactly as
// before or completely converted, and the next operation removes whatever
// temporary file the dead one left behind.
TEST(FileCompressorCrashTest, KilledAtEveryStepLosesNothing)
{
    test::TempDir dir;
    dir.useAsHome();
    const Bytes data = textBytes(300000, 11);  // five blocks on the streaming road
    const Path file = dir / "victim.txt";
    for (const fixtures::Road& operation : fourRoads) {
        SCOPED_TRACE(operation.name);
        int kills = 0;
        int leftovers = 0;
        bool finished = false;
        for (int stopAt = 1; !finished && stopAt < 200; ++stopAt) {
            SCOPED_TRACE("killed at step " + std::to_string(stopAt));
            std::filesystem::remove(file);
            test::writeRawFile(file, data);
            platform::utimensat(file, timespec{1700000000, 5}, timespec{1700000100, 7});
            if (operation.decompress)
                FileCompressor().compressFile(file);
            const Bytes rawBefore = test::readRawFile(file);
            const std::uint32_t flagsBefore = statOf(file).flags;

            if (runKilledAtStep([&] { operation.run(file); }, stopAt))
                finished = true;
            else
                ++kills;

            const bool converted = isCompressed(file) != operation.decompress;
            if (converted) {
                EXPECT_EQ(readThroughLayer(file), data);
                EXPECT_FALSE(pathExists(temporaryOf(file))) << "renamed, so nothing is left";
                continue;
            }
            EXPECT_FALSE(finished);
            EXPECT_EQ(test::readRawFile(file), rawBefore);
            EXPECT_EQ(statOf(file).flags, flagsBefore);
            if (pathExists(temporaryOf(file)))
                ++leftovers;
            // The next operation cleans up and converts the file.
            ASSERT_NO_THROW(operation.run(file));
            EXPECT_FALSE(pathExists(temporaryOf(file)));
            EXPECT_EQ(isCompressed(file), !operation.decompress);
            EXPECT_EQ(readThroughLayer(file), data);
        }
        EXPECT_TRUE(finished) << "never ran to the end";
        EXPECT_GE(kills, 8);
        // Before it: the snapshot and the lock; after the rename: the rename and the marker's removal.
        EXPECT_GE(leftovers, kills - 4) << "most steps happen while the temporary file exists";
    }
}

// A child that may not be traced (a locked-down machine) ends with this.
constexpr int kNoTracing = 42;
struct TracingUnavailable {};

// Runs `operation` on `file` in a traced child and kills it as it enters its
// `killAt`-th system call (counted from the start of the operation, over all
// its threads: a batch may commit on a thread of its own), before that call
// has done anything. True when the operation ran to its end first.
bool runKilledAtSystemCall(const std::function<void()>& action, int killAt)
{
    const pid_t child = forkRunning(action, [] {
        if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0)
            ::_exit(kNoTracing);
        ::raise(SIGSTOP);
    });
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == kNoTracing)
        throw TracingUnavailable{};
    if (!WIFSTOPPED(status))
        throw std::runtime_error("the child did not stop for tracing");
    ::ptrace(PTRACE_SETOPTIONS, child, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL | PTRACE_O_TRACECLONE);
    // Each thread's stop is handled and that thread resumed on its own.
    const auto nextStop = [&] {
        const pid_t thread = ::waitpid(-1, &status, __WALL);
        if (thread < 0)
            throw std::runtime_error("waitpid failed: errno=" + std::to_string(errno));
        return thread;
    };
    int entered = 0;
    std::map<pid_t, bool> inCall;  // per thread: between entering and leaving a call
    ::ptrace(PTRACE_SYSCALL, child, nullptr, nullptr);
    for (;;) {
        const pid_t thread = nextStop();
        if (WIFEXITED(status) || WIFSIGNALED(status)) {
            if (thread != child)
                continue;  // the leader's end is reported after every other thread's
            if (WIFSIGNALED(status))
                throw std::runtime_error("the child died of signal " + std::to_string(WTERMSIG(status)));
            if (WEXITSTATUS(status) != 0)
                throw std::runtime_error("the operation failed on its own");
            return true;
        }
        int signal = 0;
        const int stop = WSTOPSIG(status);
        if (status >> 8 == (SIGTRAP | (PTRACE_EVENT_CLONE << 8))) {
            // The new thread starts traced and stops on its own.
        } else if (stop == SIGSTOP && thread != child && !inCall.contains(thread)) {
            inCall[thread] = false;  // a new thread's first stop
        } else if (stop == (SIGTRAP | 0x80)) {
            bool& calling = inCall[thread];
            calling = !calling;
            if (calling && ++entered == killAt) {
                ::kill(child, SIGKILL);
                while (nextStop() != child || !(WIFEXITED(status) || WIFSIGNALED(status))) {
                }
                return false;
            }
        } else {
            signal = stop;  // not ours: hand it on
        }
        ::ptrace(PTRACE_SYSCALL, thread, nullptr, reinterpret_cast<void*>(static_cast<long>(signal)));
    }
}

// Kills `action` as it enters its 1st, 2nd, ... system call until it runs to
// its end: `prepare` lays out the files before each run, `check` looks at them
// after it (told whether the action finished). Stops at the first failure.
// Gives the number of kills, at least `atLeast`; none where the machine
// refuses to trace.
std::optional<int> killAtEverySystemCall(const std::function<void()>& prepare, const std::function<void()>& action,
                                         const std::function<void(bool finished)>& check, int atLeast,
                                         const std::string& label)
{
    int kills = 0;
    bool finished = false;
    for (int killAt = 1; !finished && killAt < 5000; ++killAt) {
        SCOPED_TRACE("killed at system call " + std::to_string(killAt));
        prepare();
        try {
            finished = runKilledAtSystemCall(action, killAt);
        } catch (const TracingUnavailable&) {
            return std::nullopt;
        }
        kills += finished ? 0 : 1;
        check(finished);
        if (::testing::Test::HasFailure())
            return kills;
    }
    EXPECT_TRUE(finished) << "never ran to the end";
    EXPECT_GE(kills, atLeast);
    std::cout << label << ": " << kills << " kill points\n";
    return kills;
}

void expectNoMarkerNorCopy(const Path& file)
{
    EXPECT_FALSE(attribute(file, TemporaryFile::markerName).has_value());
    EXPECT_FALSE(pathExists(TemporaryFile::pathFor(file)));
}

// The same as above, at every system call instead of every step: a kill
// between any two calls of any road leaves the file as it was or converted,
// never an unmarked temporary file that blocks the next run, and never a
// marker that outlives the next operation.
TEST(FileCompressorCrashTest, KilledAtEverySystemCallLosesNothing)
{
    test::TempDir dir;
    dir.useAsHome();
    const Bytes data = textBytes(200000, 12);  // four blocks on the streaming road
    const Path file = dir / "victim.txt";
    int allKills = 0;
    for (const fixtures::Road& operation : fourRoads) {
        SCOPED_TRACE(operation.name);
        Bytes rawBefore;
        const auto run = killAtEverySystemCall(
            [&] {
                std::filesystem::remove(file);
                test::writeRawFile(file, data);
                if (operation.decompress)
                    FileCompressor().compressFile(file);
                rawBefore = test::readRawFile(file);
            },
            [&] { operation.run(file); },
            [&](bool finished) {
                if (isCompressed(file) != operation.decompress) {
                    EXPECT_EQ(readThroughLayer(file), data);
                    // Killed after the rename: the next operation takes off the marker.
                    EXPECT_ANY_THROW(operation.run(file));
                } else {
                    ASSERT_FALSE(finished);
                    EXPECT_EQ(test::readRawFile(file), rawBefore);
                    ASSERT_NO_THROW(operation.run(file)) << "the next run is blocked";
                    EXPECT_EQ(readThroughLayer(file), data);
                }
                EXPECT_EQ(isCompressed(file), !operation.decompress);
                expectNoMarkerNorCopy(file);
            },
            30, operation.name);
        if (!run)
            GTEST_SKIP() << "this machine does not let a process trace its child";
        if (::testing::Test::HasFailure())
            return;
        allKills += *run;
    }
    std::cout << "kill points in all: " << allKills << "\n";
}

// Several files whose commits are grouped: a kill between any two system
// calls, of whichever thread commits, leaves each of them as it was or
// converted, whatever the others became, and the next run of each cleans up
// after it.
void killABatchAtEverySystemCall(SwapBatch::Committing committing, const std::string& label)
{
    test::TempDir dir;
    dir.useAsHome();
    const Bytes large = textBytes(150000, 13);
    const std::vector<Path> files = {dir / "a.txt", dir / "b.txt", dir / "c.txt", dir / "d.txt"};
    // b takes the streamed road, the others the in-memory one; d goes inline.
    const std::vector<Bytes> contents = {large, large, large, textBytes(3000, 14)};
    const std::vector<std::int64_t> thresholds = {FileCompressor::streamingThreshold, 65536,
                                                  FileCompressor::streamingThreshold,
                                                  FileCompressor::streamingThreshold};
    const auto compressTogether = [&] {
        // Two groups of two: behind, the second is prepared while the first commits.
        SwapBatch batch(SwapBatch::Limits{2, std::int64_t{1} << 40, std::chrono::hours(1)}, committing);
        for (std::size_t i = 0; i < files.size(); ++i)
            FileCompressor().compressFile(files[i], thresholds[i], batch, [](SwapBatch::Outcome outcome) {
                if (!outcome.result)
                    std::rethrow_exception(outcome.failure);
            });
        batch.commit();
    };
    const auto run = killAtEverySystemCall(
        [&] {
            for (std::size_t i = 0; i < files.size(); ++i) {
                std::filesystem::remove(files[i]);
                test::writeRawFile(files[i], contents[i]);
            }
        },
        compressTogether,
        [&](bool finished) {
            for (std::size_t i = 0; i < files.size(); ++i) {
                const Path& file = files[i];
                const Bytes& data = contents[i];
                SCOPED_TRACE(file.filename().string());
                if (isCompressed(file)) {
                    EXPECT_EQ(readThroughLayer(file), data);
                    EXPECT_ANY_THROW(FileCompressor().compressFile(file));  // takes off a marker left behind
                } else {
                    ASSERT_FALSE(finished);
                    EXPECT_EQ(test::readRawFile(file), data);
                    ASSERT_NO_THROW(FileCompressor().compressFile(file)) << "the next run is blocked";
                    EXPECT_EQ(readThroughLayer(file), data);
                }
                expectNoMarkerNorCopy(file);
            }
        },
        60, label);
    if (!run)
        GTEST_SKIP() << "this machine does not let a process trace its child";
}

TEST(FileCompressorCrashTest, ABatchKilledAtEverySystemCallLosesNothing)
{
    killABatchAtEverySystemCall(SwapBatch::Committing::here, "batch of four");
}

TEST(FileCompressorCrashTest, ABatchCommittingBehindItsThreadKilledAtEverySystemCallLosesNothing)
{
    killABatchAtEverySystemCall(SwapBatch::Committing::behind, "batch of four, committed behind");
}

}  // namespace
}  // namespace kelvane::engine
