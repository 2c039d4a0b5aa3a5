// SPDX-License-Identifier: MIT
#include "support/KelvanefsMounts.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <chrono>
#include <csignal>
#include <sys/statfs.h>
#include <thread>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kelvane::test {

namespace {

namespace fs = std::filesystem;

// /proc/self/mounts writes spaces and other bytes in paths as octal escapes.
std::string unescapeMountField(const std::string& field)
{
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string digits = field.substr(i + 1, 3);
            if (digits.find_first_not_of("01234567") == std::string::npos) {
                out.push_back(static_cast<char>(std::stoi(digits, nullptr, 8)));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

bool isAtOrBelow(const fs::path& path, const fs::path& folder)
{
    const auto [end, _] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return end == folder.end();
}

int runQuietly(const std::vector<std::string>& arguments)
{
    // Made before the fork: the child of a threaded process may only make
    // async-signal-safe calls until it execs.
    std::vector<char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        const int quiet = ::open("/dev/null", O_WRONLY);
        if (quiet >= 0)
            ::dup2(quiet, STDERR_FILENO);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::optional<std::string> whyNoKelvanefsMounts()
{
    if (::access("/dev/fuse", R_OK | W_OK) != 0)
        return "/dev/fuse is missing or not usable";
    for (const char* folder : {"/usr/bin", "/bin", "/usr/local/bin"})
        if (::access((fs::path(folder) / "fusermount3").c_str(), X_OK) == 0)
            return std::nullopt;
    return "fusermount3 is missing (Debian package fuse3)";
}

std::vector<fs::path> kelvanefsMountsBelow(const fs::path& folder)
{
    std::vector<fs::path> points;
    std::ifstream mounts("/proc/self/mounts");
    std::string line;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string source, point, type;
        fields >> source >> point >> type;
        if (type == "fuse.kelvanefs" && isAtOrBelow(unescapeMountField(point), folder))
            points.emplace_back(unescapeMountField(point));
    }
    std::sort(points.begin(), points.end(),
              [](const fs::path& a, const fs::path& b) { return a.native().size() > b.native().size(); });
    return points;
}

void unmountKelvanefsBelow(const fs::path& folder)
{
    for (const fs::path& point : kelvanefsMountsBelow(folder))
        if (runQuietly({"fusermount3", "-u", "-z", point.string()}) != 0)
            ::umount2(point.c_str(), MNT_DETACH);
}

std::vector<pid_t> kelvanefsDaemonsOf(const fs::path& mountPoint)
{
    std::vector<pid_t> daemons;
    std::error_code code;
    for (const auto& entry : fs::directory_iterator("/proc", code)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream cmdline(entry.path() / "cmdline", std::ios::binary);
        std::vector<std::string> arguments;
        for (std::string argument; std::getline(cmdline, argument, '\0');)
            arguments.push_back(argument);
        if (!arguments.empty() && fs::path(arguments.front()).filename() == "kelvanefs" &&
            std::find(arguments.begin() + 1, arguments.end(), mountPoint.string()) != arguments.end())
            daemons.push_back(static_cast<pid_t>(std::stol(name)));
    }
    return daemons;
}

bool killKelvanefsDaemon(const fs::path& mountPoint)
{
    const std::vector<pid_t> daemons = kelvanefsDaemonsOf(mountPoint);
    if (daemons.empty())
        return false;
    for (const pid_t daemon : daemons)
        ::kill(daemon, SIGKILL);
    // Generous: a loaded machine may take seconds to reap it.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
        struct statfs sf {};
        if (::statfs(mountPoint.c_str(), &sf) != 0 && errno == ENOTCONN)
            return true;
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace kelvane::test
