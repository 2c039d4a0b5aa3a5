// SPDX-License-Identifier: MIT
#include "platform/ChildProcess.h"

#include "platform/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kelvane::platform {

std::string ChildResult::failureText() const
{
    if (!started)
        return std::string("cannot run: ") + std::strerror(startError);
    std::string text;
    if (timedOut)
        text = "did not end in time";
    else if (exitStatus < 0)
        text = "ended by a signal";
    else
        text = "exit " + std::to_string(exitStatus);
    std::string said = output;
    while (!said.empty() && (said.back() == '\n' || said.back() == ' '))
        said.pop_back();
    return said.empty() ? text : text + ": " + said;
}

ChildResult runChild(const std::vector<std::string>& arguments, std::chrono::milliseconds limit)
{
    ChildResult result;
    int pipeFds[2];
    if (arguments.empty() || ::pipe2(pipeFds, O_CLOEXEC) != 0) {
        result.startError = arguments.empty() ? EINVAL : errno;
        return result;
    }
    UniqueFd readEnd(pipeFds[0]);
    UniqueFd writeEnd(pipeFds[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDERR_FILENO);
    // A daemon started here must not keep the caller's files, sockets or
    // locks open for as long as it runs.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    // Its own process group: killing it on time-out reaches nothing of ours.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD})
        sigaddset(&defaults, signal);
    posix_spawnattr_setsigdefault(&attributes, &defaults);

    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    writeEnd.reset();
    if (spawned != 0) {
        result.startError = spawned;
        return result;
    }
    result.started = true;

    const auto deadline = std::chrono::steady_clock::now() + limit;
    const auto remaining = [&] {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
    };
    char chunk[4096];
    for (;;) {
        pollfd event{readEnd.get(), POLLIN, 0};
        const int ready = ::poll(&event, 1, remaining());
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            result.timedOut = true;
            break;
        }
        const ssize_t got = ::read(readEnd.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        result.output.append(chunk, static_cast<std::size_t>(got));
    }
    int status = 0;
    if (result.timedOut)
        ::kill(pid, SIGKILL);
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, result.timedOut ? 0 : WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno == EINTR)
            continue;
        if (done < 0)
            return result;
        // Output closed but the process lives on (it handed its output to
        // a child of its own): wait for it within the same limit.
        if (remaining() == 0) {
            result.timedOut = true;
            ::kill(pid, SIGKILL);
            continue;
        }
        pollfd none{-1, 0, 0};
        ::poll(&none, 0, std::min(remaining(), 10));
    }
    if (result.timedOut)
        return result;
    if (WIFEXITED(status))
        result.exitStatus = WEXITSTATUS(status);
    return result;
}

}  // namespace kelvane::platform
