// SPDX-License-Identifier: MIT
#include "fs/CommandLine.h"
#include "fs/KelvaneFs.h"
#include "fs/MountGuard.h"
#include "platform/FuseTools.h"
#include "platform/KelvanefsMount.h"
#include "platform/ProcessStart.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

using namespace kelvane;

namespace {

void fail(const std::string& message) { std::fprintf(stderr, "kelvanefs: %s\n", message.c_str()); }

// Commas and backslashes would end or escape a mount option.
std::string escapedOption(const std::string& value)
{
    std::string out;
    for (const char c : value) {
        if (c == ',' || c == '\\')
            out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

// The folder as it is served: with links resolved. A folder that is a dead
// kelvanefs mount of this user (its daemon ended without unmounting, which
// -o auto_unmount does not prevent for a user who is not root) is unmounted
// lazily first, so that the mount can be made again; nothing below it is
// touched. Nothing, the reason told, when the folder cannot be served.
std::optional<std::filesystem::path> servedFolder(const std::string& given)
{
    // The table, not a look at the folder: the kernel may still answer a
    // look at a dead mount from its cache.
    const std::filesystem::path absolute = platform::absoluteNormalPath(given);
    const auto state = platform::kelvanefsMountState(absolute);
    if (state && state->health == platform::KelvanefsMountHealth::dead && platform::isOwnKelvanefsMount(state->entry)) {
        if (state->entry.mountPoint != absolute) {
            fail(given + " lies in the dead kelvanefs mount at " + state->entry.mountPoint.string() +
                 ": run kelvanefs " + state->entry.mountPoint.string() + " to mount that folder again");
            return std::nullopt;
        }
        if (const auto failure = platform::unmountFuse(platform::FuseTools::fromEnvironment(), absolute, true)) {
            fail(absolute.string() + " is a dead kelvanefs mount that cannot be unmounted: " + *failure);
            return std::nullopt;
        }
        fail(absolute.string() + " was a dead kelvanefs mount (its daemon had ended); unmounted it to mount again");
    }
    std::error_code code;
    const std::filesystem::path folder = std::filesystem::canonical(given, code);
    if (code || !std::filesystem::is_directory(folder, code)) {
        fail(given + ": not a folder" + (code ? " (" + code.message() + ")" : std::string()));
        return std::nullopt;
    }
    return folder;
}

const char* healthName(platform::KelvanefsMountHealth health)
{
    switch (health) {
    case platform::KelvanefsMountHealth::live:
        return "live";
    case platform::KelvanefsMountHealth::dead:
        return "dead";
    case platform::KelvanefsMountHealth::socketMissing:
        return "socket-missing";
    }
    return "?";
}

// One line per kelvanefs mount of this user: its state, then its folder.
int printStatus()
{
    const auto states = platform::kelvanefsMountStates();
    std::string out;
    for (const auto& state : states) {
        std::string name = healthName(state.health);
        name.resize(16, ' ');
        out += name + state.entry.mountPoint.string() + "\n";
    }
    if (states.empty())
        out = "no kelvanefs mounts\n";
    return std::fputs(out.c_str(), stdout) < 0 ? 1 : 0;
}

void writeRequestTimes(const std::filesystem::path& file, const fs::RequestTimes& times)
{
    std::FILE* out = std::fopen(file.c_str(), "w");
    if (!out || std::fputs(times.table().c_str(), out) < 0)
        fail(file.string() + ": " + std::strerror(errno));
    if (out)
        std::fclose(out);
}

}  // namespace

int main(int argc, char* argv[])
{
    std::string error;
    const auto line = fs::CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!line) {
        fail(error);
        return 1;
    }
    if (line->mode == fs::CommandLine::Mode::help)
        return std::fputs(fs::CommandLine::helpText().c_str(), stdout) < 0 ? 1 : 0;
    if (line->mode == fs::CommandLine::Mode::version)
        return std::fputs(fs::CommandLine::versionText().c_str(), stdout) < 0 ? 1 : 0;

    if (line->mode == fs::CommandLine::Mode::status)
        return printStatus();

    const auto served = servedFolder(line->folder);
    if (!served)
        return 1;
    const std::filesystem::path folder = *served;
    if (line->source) {
        // An fstab line names the folder twice (source and mount point).
        std::error_code code;
        if (std::filesystem::canonical(*line->source, code) != folder) {
            fail(*line->source + ": the source must be the folder itself (" + folder.string() +
                 "): kelvanefs mounts a folder over itself");
            return 1;
        }
    }
    if (const auto refusal = fs::refusalToMount(folder)) {
        fail(*refusal);
        return 1;
    }
    // Every file open through the mount holds a descriptor here, a
    // compressed one two.
    platform::raiseDescriptorLimit();
    // The folder below the mount, reachable to us alone once it is covered.
    platform::UniqueFd below(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!below) {
        fail(folder.string() + ": " + std::strerror(errno));
        return 1;
    }
    fs::KelvaneFs fileSystem(std::move(below), line->serve);
    // Absolute: the daemon leaves its working folder when it goes into the background.
    std::optional<std::filesystem::path> timesFile;
    if (line->requestTimesFile) {
        timesFile = std::filesystem::absolute(*line->requestTimesFile);
        fileSystem.keepRequestTimes();
    }

    std::string options = "subtype=kelvanefs,fsname=" + escapedOption(folder.string());
    for (const std::string& option : line->mountOptions)
        options += "," + option;
    std::vector<std::string> arguments = {argv[0], "-o", options};
    if (line->debug)
        arguments.emplace_back("-d");
    std::vector<char*> pointers;
    for (std::string& argument : arguments)
        pointers.push_back(argument.data());
    fuse_args args = FUSE_ARGS_INIT(static_cast<int>(pointers.size()), pointers.data());

    fuse_session* session = fuse_session_new(&args, &fileSystem.operations(), sizeof(fuse_lowlevel_ops), &fileSystem);
    if (!session)
        return 1;  // libfuse said why
    fileSystem.setSession(session);
    int status = 1;
    // The socket is there before the mount shows: whoever sees the mount can
    // reach the folder below at once.
    fs::DescriptorServer server(fileSystem.folderFd(), folder);
    if (!server.start(error))
        fail("Kelvane cannot reach this folder through the mount: " + error);
    if (fuse_set_signal_handlers(session) == 0) {
        if (fuse_session_mount(session, folder.c_str()) == 0) {
            if (fuse_daemonize(line->foreground) == 0) {
                server.run();
                fuse_loop_config* config = fuse_loop_cfg_create();
                fuse_loop_cfg_set_clone_fd(config, line->cloneFd ? 1 : 0);
                // A fixed pool: threads made and ended per burst cost metadata calls
                // dearly, and parallel readers too (at most 2 idle threads kept of 8:
                // four readers warm 0.59-0.60x bindfs against 1.05-1.25x, one reader
                // no faster, alternated mount_bench runs).
                fuse_loop_cfg_set_max_threads(config, line->threads);
                fuse_loop_cfg_set_idle_threads(config, line->threads);
                // 0 when unmounted, the signal number when stopped by one: both a clean end.
                status = fuse_session_loop_mt(session, config) < 0 ? 1 : 0;
                fuse_loop_cfg_destroy(config);
            }
            fuse_session_unmount(session);
        }
        fuse_remove_signal_handlers(session);
    }
    server.stop();
    fileSystem.view().stopWatching();  // it tells the session of changes
    fuse_session_destroy(session);
    fuse_opt_free_args(&args);
    if (timesFile)
        writeRequestTimes(*timesFile, *fileSystem.requestTimes());
    return status;
}
