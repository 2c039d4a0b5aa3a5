#include "engine/FileCompressor.h"
#include "engine/StepObserver.h"

#include "EngineFixtures.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace kelvane::engine {
namespace {

using namespace fixtures;

int stepsLeft = 0;

// The child stops itself dead at its n-th step: no destructor, no clean-up.
void killAtStep(std::string_view)
{
    if (--stepsLeft == 0)
        ::kill(::getpid(), SIGKILL);
}

struct Operation {
    const char* name;
    bool compress;
    std::int64_t threshold;

    void run(const Path& file) const
    {
        const FileCompressor compressor;
        if (compress)
            compressor.compressFile(file, threshold);
        else
            compressor.decompressFile(file, threshold);
    }
};

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
    const Operation operations[] = {
        {"compress in memory", true, FileCompressor::streamingThreshold},
        {"compress streaming", true, 65536},
        {"decompress in memory", false, FileCompressor::streamingThreshold},
        {"decompress streaming", false, 65536},
    };
    for (const Operation& operation : operations) {
        SCOPED_TRACE(operation.name);
        int kills = 0;
        int leftovers = 0;
        bool finished = false;
        for (int stopAt = 1; !finished && stopAt < 200; ++stopAt) {
            SCOPED_TRACE("killed at step " + std::to_string(stopAt));
            std::filesystem::remove(file);
            test::writeRawFile(file, data);
            platform::utimensat(file, timespec{1700000000, 5}, timespec{1700000100, 7});
            if (!operation.compress)
                FileCompressor().compressFile(file);
            const Bytes rawBefore = test::readRawFile(file);
            const std::uint32_t flagsBefore = statOf(file).flags;

            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                stepsLeft = stopAt;
                setStepObserver(killAtStep);
                try {
                    operation.run(file);
                } catch (...) {
                    ::_exit(3);
                }
                ::_exit(0);
            }
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            if (WIFEXITED(status)) {
                ASSERT_EQ(WEXITSTATUS(status), 0) << "the operation failed on its own";
                finished = true;
            } else {
                ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
                ++kills;
            }

            const bool converted = isCompressed(file) == operation.compress;
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
            EXPECT_EQ(isCompressed(file), operation.compress);
            EXPECT_EQ(readThroughLayer(file), data);
        }
        EXPECT_TRUE(finished) << "never ran to the end";
        EXPECT_GE(kills, 8);
        EXPECT_GE(leftovers, kills - 2) << "most steps happen while the temporary file exists";
    }
}

}  // namespace
}  // namespace kelvane::engine
