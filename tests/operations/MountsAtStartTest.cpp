// SPDX-License-Identifier: MIT
// The window's process mounts the registered folders when it starts (where
// no user unit brought them back), and the mounts outlive it.

#include "fs/MountFixture.h"

#include "app/KelvaneProcess.h"
#include "operations/OperationsTestSupport.h"
#include "platform/KelvanefsMount.h"
#include "support/ScopedEnvironment.h"

namespace kelvane::operations {
namespace {

using fs::test::Path;

TEST(MountsAtStartTest, TheWindowMountsTheRegisteredFolderAtItsStartAndTheMountOutlivesIt)
{
    if (const auto reason = fs::test::whyNoMounts())
        GTEST_SKIP() << "kelvanefs mounts cannot be tested here: " << *reason;
    kelvane::test::TempDir temp;
    const Path home = temp.path() / "home";
    const Path archive = home / "Archive";
    std::filesystem::create_directories(archive);
    kelvane::test::writeRawFile(archive / "report.txt", {'r', 'e', 'p'});
    kelvane::test::KelvaneProcess process(home);
    {
        std::filesystem::create_directories(process.supportFolder());
        auto container = store::ModelContainer::open({process.storeFile()});
        test::registerItem(container->mainContext(), archive, "folder");
    }
    // The mount's socket lies in the program's runtime folder; health is read there.
    kelvane::test::ScopedEnvironment runtime("XDG_RUNTIME_DIR", (home / ".runtime").string());
    const auto live = [&] {
        const auto state = platform::kelvanefsMountState(archive);
        return state && state->entry.mountPoint == archive && state->health == platform::KelvanefsMountHealth::live;
    };
    struct Unmount {
        Path point;
        ~Unmount()
        {
            if (fs::test::isKelvanefsMountAt(point))
                fs::test::runProgram({"fusermount3", "-u", "-z", point.string()});
        }
    } unmount{archive};

    const kelvane::test::ProcessResult result = process.runWindow(live);
    EXPECT_TRUE(result.finished) << result.err;
    EXPECT_TRUE(live()) << "the mount stays once the window has ended";
    EXPECT_EQ(fs::test::readAll(archive / "report.txt"), (fs::test::Bytes{'r', 'e', 'p'}));
}

}  // namespace
}  // namespace kelvane::operations
