// SPDX-License-Identifier: MIT
#pragma once

// Mounts kelvanefs over a temporary folder for a test, and always unmounts it
// again. Tests that need a mount skip, saying why, where /dev/fuse or
// fusermount3 is missing.

#include "platform/FileSystem.h"
#include "platform/MountTable.h"
#include "platform/Sha256.h"
#include "platform/UniqueFd.h"
#include "support/KelvanefsMounts.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace kelvane::fs::test {

using Bytes = std::vector<std::uint8_t>;
using Path = std::filesystem::path;

inline const Path kKelvanefs = Path(KELVANE_BINARY_DIR) / "kelvanefs";

// Why mounts cannot be tested here, or nothing.
inline std::optional<std::string> whyNoMounts() { return kelvane::test::whyNoKelvanefsMounts(); }

// Polls `condition` until it holds or `limit` passes; the limit is generous
// on purpose, a loaded machine may take seconds.
inline bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(30))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

inline bool isKelvanefsMountAt(const Path& point)
{
    const auto table = platform::MountTable::read("/proc");
    if (!table)
        return false;
    for (const auto& entry : table->entries())
        if (entry.mountPoint == point && entry.fsType == "fuse.kelvanefs")
            return true;
    return false;
}

// The fusermount3 processes still running, each with its state and where
// it waits: what keeps a dead daemon's mount in place when auto_unmount
// does not remove it (the kernel names the wait; reading it needs no rights
// beyond the process's own user).
inline std::string fusermountHelpers()
{
    std::string out;
    std::error_code code;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", code)) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream comm(entry.path() / "comm");
        std::string name;
        if (!std::getline(comm, name) || name != "fusermount3")
            continue;
        std::string stat, wchan;
        std::getline(std::ifstream(entry.path() / "stat"), stat);
        std::getline(std::ifstream(entry.path() / "wchan"), wchan);
        const auto close = stat.rfind(')');
        out += "fusermount3 " + pid + " state " + (close != std::string::npos ? stat.substr(close + 2, 1) : "?") +
               " waiting in " + (wchan.empty() ? "?" : wchan) + "\n";
    }
    return out.empty() ? "no fusermount3 running" : out;
}

// Runs a program to its end: its exit status (or -1), stdout and stderr
// in `output` when asked.
inline int runProgram(const std::vector<std::string>& arguments, std::string* output = nullptr)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    std::vector<char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    std::string text;
    char chunk[4096];
    for (ssize_t got; (got = ::read(pipeFds[0], chunk, sizeof chunk)) > 0;)
        text.append(chunk, static_cast<std::size_t>(got));
    ::close(pipeFds[0]);
    if (spawned != 0)
        return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (output)
        *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One kelvanefs process serving `folder` in the foreground.
class Mount {
public:
    explicit Mount(Path folder, std::vector<std::string> options = {"auto_unmount"})
        : folder_(std::move(folder)), options_(std::move(options))
    {
    }
    ~Mount() { stop(); }
    Mount(const Mount&) = delete;
    Mount& operator=(const Mount&) = delete;

    // Starts the daemon and waits for the mount to show in the table.
    ::testing::AssertionResult start()
    {
        std::vector<std::string> arguments = {kKelvanefs.string(), "-f"};
        for (const auto& option : options_)
            arguments.insert(arguments.end(), {"-o", option});
        arguments.push_back(folder_.string());
        std::vector<char*> argv;
        for (auto& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
            return ::testing::AssertionFailure() << "cannot start " << kKelvanefs;
        const bool up = waitFor([&] { return isKelvanefsMountAt(folder_) || exited(); });
        if (!up || !isKelvanefsMountAt(folder_))
            return ::testing::AssertionFailure() << "no kelvanefs mount appeared at " << folder_;
        return ::testing::AssertionSuccess();
    }

    pid_t pid() const { return pid_; }
    const Path& folder() const { return folder_; }

    // Whether the daemon has ended (reaped here; its wait status in status()).
    bool exited()
    {
        if (pid_ <= 0)
            return true;
        if (::waitpid(pid_, &status_, WNOHANG) == pid_) {
            pid_ = -1;
            return true;
        }
        return false;
    }
    int status() const { return status_; }

    // Kills the daemon at once, as a crash would.
    void kill()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            ::waitpid(pid_, &status, 0);
            pid_ = -1;
        }
    }

    // Unmounts and waits for the daemon to end: also after a failed test.
    void stop()
    {
        if (isKelvanefsMountAt(folder_) && runProgram({"fusermount3", "-u", folder_.string()}) != 0)
            runProgram({"fusermount3", "-u", "-z", folder_.string()});
        if (pid_ > 0 && !waitFor([&] { return exited(); }, std::chrono::seconds(30)))
            kill();
    }

private:
    Path folder_;
    std::vector<std::string> options_;
    pid_t pid_ = -1;
    int status_ = -1;
};

// A folder to mount over, with the runtime folder of the test's own: the
// socket of the mount goes there.
class MountTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const auto reason = whyNoMounts())
            GTEST_SKIP() << "kelvanefs mounts cannot be tested here: " << *reason;
        std::filesystem::create_directories(folder());
        std::filesystem::create_directories(runtime_.path() / "run");
        ::chmod((runtime_.path() / "run").c_str(), 0700);
        if (const char* before = std::getenv("XDG_RUNTIME_DIR"))
            savedRuntime_ = before;
        if (const char* before = std::getenv("XDG_DATA_HOME"))
            savedData_ = before;
        ::setenv("XDG_RUNTIME_DIR", (runtime_.path() / "run").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (runtime_.path() / "data").c_str(), 1);
        below_.reset(::open(folder().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        ASSERT_TRUE(below_);
    }

    void TearDown() override
    {
        mount_.reset();
        for (const auto& [name, saved] : {std::pair{"XDG_RUNTIME_DIR", &savedRuntime_}, std::pair{"XDG_DATA_HOME", &savedData_}}) {
            if (*saved)
                ::setenv(name, (*saved)->c_str(), 1);
            else
                ::unsetenv(name);
        }
    }

    Path folder() const { return temp_.path() / "served"; }
    Path at(const std::string& name) const { return folder() / name; }
    // The entry `name` of the folder below, as Kelvane and other programs
    // reach it while the mount covers the folder.
    Path lower(const std::string& name) const { return platform::pathBelow(below_.get(), name); }

    // Mounts over folder(); the test stops on failure.
    Mount& mountFolder(std::vector<std::string> options = {"auto_unmount"})
    {
        mount_ = std::make_unique<Mount>(folder(), std::move(options));
        EXPECT_TRUE(mount_->start());
        return *mount_;
    }
    Mount* mount() { return mount_.get(); }
    void unmount() { mount_.reset(); }

    kelvane::test::TempDir temp_;
    kelvane::test::TempDir runtime_;
    std::unique_ptr<Mount> mount_;
    std::optional<std::string> savedRuntime_;
    std::optional<std::string> savedData_;
    platform::UniqueFd below_;  // the folder below, opened before any mount
};

// Records the data stream of the compressed file at `lower` as its fork, as
// Kelvane would have written it: bytes damaged below then stay the file's
// recorded fork (data that does not decode), not another program's writes.
inline void recordForkAsItIs(const Path& lower)
{
    const Bytes fork = kelvane::test::readRawFile(lower);
    const platform::Sha256Digest digest = platform::Sha256::digest(fork);
    Bytes record(8);
    for (int i = 0; i < 8; ++i)
        record[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(fork.size()) >> (8 * i));
    record.insert(record.end(), digest.begin(), digest.end());
    ASSERT_EQ(::setxattr(lower.c_str(), "user.darwin.rsrc", record.data(), record.size(), 0), 0);
}

inline Bytes readAll(const Path& path)
{
    Bytes out;
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        throw std::runtime_error("open " + path.string() + ": " + std::strerror(errno));
    std::uint8_t chunk[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
        if (got < 0)
            throw std::runtime_error("read " + path.string() + ": " + std::strerror(errno));
        if (got == 0)
            return out;
        out.insert(out.end(), chunk, chunk + got);
    }
}

// read(2) of the whole file: the errno of the first failure, or 0.
inline int readError(const Path& path)
{
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        return errno;
    std::uint8_t chunk[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
        if (got < 0)
            return errno;
        if (got == 0)
            return 0;
    }
}

// The count a line "KIND  N requests ..." of a request times file gives, or -1.
inline long long requestsOf(const std::string& table, const std::string& kind)
{
    std::istringstream lines(table);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string name, unit;
        long long count = -1;
        if (words >> name >> count >> unit && name == kind && unit == "requests")
            return count;
    }
    return -1;
}

// The path's own attributes; st_ino 0 when it is not there.
inline struct stat statOf(const Path& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        st.st_ino = 0;
    return st;
}

}  // namespace kelvane::fs::test
