// SPDX-License-Identifier: MIT
// The socket that hands Kelvane the folder below a mount keeps serving
// through a spell without free descriptors.

#include "fs/DescriptorServer.h"

#include "platform/KelvanefsMount.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace kelvane::fs::test {
namespace {

TEST(DescriptorServerTest, RequestsMadeWhileNoDescriptorIsFreeAreAnsweredOnceSomeAre)
{
    kelvane::test::TempDir runtime;
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string savedRuntime = saved ? saved : "";
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    const platform::UniqueFd folder(::open(runtime.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(folder);
    const std::filesystem::path mountPoint = runtime / "served";
    DescriptorServer server(folder.get(), mountPoint);
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;

    // Every descriptor below the limit in use when the server first waits
    // for a request: its first accept fails.
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &before), 0);
    std::vector<platform::UniqueFd> fillers;
    rlimit tight = before;
    tight.rlim_cur = std::min<rlim_t>(before.rlim_cur, 256);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    for (;;) {
        platform::UniqueFd filler(::open("/dev/null", O_RDONLY | O_CLOEXEC));
        if (!filler) {
            ASSERT_EQ(errno, EMFILE);
            break;
        }
        fillers.push_back(std::move(filler));
    }
    server.run();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));

    // Three free: the asker's socket, the server's connection and the
    // descriptor handed over.
    fillers.resize(fillers.size() - 3);
    const std::filesystem::path socket = platform::kelvanefsSocketPath(mountPoint);
    platform::UniqueFd received = platform::receiveFolderDescriptor(socket);
    const int receivedError = errno;
    fillers.clear();
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &before), 0);
    ASSERT_TRUE(received) << "the server stopped after its accept failed: " << std::strerror(receivedError);
    struct stat viaSocket {}, direct {};
    ASSERT_EQ(::fstat(received.get(), &viaSocket), 0);
    ASSERT_EQ(::fstat(folder.get(), &direct), 0);
    EXPECT_EQ(viaSocket.st_ino, direct.st_ino);
    EXPECT_TRUE(platform::receiveFolderDescriptor(socket)) << "and serves on";

    server.stop();
    EXPECT_FALSE(std::filesystem::exists(socket));
    if (saved)
        ::setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1);
    else
        ::unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace kelvane::fs::test
