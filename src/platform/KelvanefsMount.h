// SPDX-License-Identifier: MIT
#pragma once

// What the platform knows of `kelvanefs` mounts: the folder a mount covers
// stays reachable to its owner through a Unix socket in the user's runtime
// folder, which hands out a descriptor of the folder below the mount.

#include "platform/MountTable.h"
#include "platform/UniqueFd.h"

#include <filesystem>
#include <optional>
#include <vector>

namespace kelvane::platform {

inline constexpr std::string_view kKelvanefsType = "fuse.kelvanefs";

// $XDG_RUNTIME_DIR/kelvane (else /run/user/<uid>/kelvane, else
// /tmp/kelvane-<uid>): kept at mode 0700.
std::filesystem::path kelvanefsRuntimeFolder();
// The socket of the mount at `mountPoint` in that folder.
std::filesystem::path kelvanefsSocketPath(const std::filesystem::path& mountPoint);

// `path` made absolute against the working folder, without "." or ".."
// components or a trailing slash, links not followed: the form mount points
// are compared in.
std::filesystem::path absoluteNormalPath(const std::filesystem::path& path);
// `path` is `folder` or lies below it (both in that form; "/" holds all).
bool isAtOrBelow(const std::filesystem::path& path, const std::filesystem::path& folder);

// The innermost `kelvanefs` mount at or above `path` (an absolute path
// without "." or ".." components), if any.
std::optional<MountEntry> kelvanefsMountOf(const MountTable& table, const std::filesystem::path& path);

// Asks the socket for the folder's descriptor (O_PATH); only a server of
// our own user is believed. An invalid descriptor with errno set otherwise.
UniqueFd receiveFolderDescriptor(const std::filesystem::path& socketPath);
// The descriptor the server on the connected `socket` sends (one byte and
// the descriptor); EPROTO for any other answer or none. Allocates nothing:
// a forked child may call it.
UniqueFd receiveDescriptor(int socket);

// The path the platform's own calls use for `path`: `path` itself, or, under
// a `kelvanefs` mount, its place below the mount reached through the folder
// descriptor the mount's socket hands out ("/proc/self/fd/N/REL"), so that
// Kelvane works on the raw records exactly as without a mount. Nothing, with
// errno ENOTCONN, when that folder cannot be reached: no call may then act
// on the file through the mount, which hides the records. Costs no lock and
// no system call while no kelvanefs mount exists; a mount made a moment ago
// may be seen a moment later (unreachableMountReason sees it at once).
std::optional<std::filesystem::path> pathForCalls(const std::filesystem::path& path);

// Why Kelvane cannot work on `path` (a `kelvanefs` mount covers it and its
// socket does not answer), or nothing. Reads the mount table as it is now:
// the check to make before working on a file.
std::optional<std::string> unreachableMountReason(const std::filesystem::path& path);

// Whether a live `kelvanefs` mount serves `path`, so that every program reads
// a file compressed there as its original bytes. The table is read as it is
// now (one poll when it has not changed); a served path costs one statfs at
// the mount point, a round trip to its daemon.
struct MountService {
    enum class State {
        served,       // the daemon answers and Kelvane reaches the folder below
        noMount,      // no kelvanefs mount covers the path
        unreachable,  // a mount covers it, but its socket does not answer
        dead,         // a mount covers it, but its daemon is gone (ENOTCONN)
    };
    State state = State::noMount;
    std::filesystem::path mountPoint;  // of the covering mount, if any
};
MountService mountServiceOf(const std::filesystem::path& path);

// How a `kelvanefs` mount of this user is doing.
enum class KelvanefsMountHealth {
    live,           // the daemon answers at the mount point and its socket is there
    dead,           // the daemon is gone: the mount point answers ENOTCONN
    socketMissing,  // the daemon answers, but Kelvane cannot reach the folder below
};

struct KelvanefsMountState {
    MountEntry entry;
    KelvanefsMountHealth health = KelvanefsMountHealth::live;
};

// This user's `kelvanefs` mounts as the table lists them now, each with its
// health (one status call at the mount point and one socket probe each).
std::vector<KelvanefsMountState> kelvanefsMountStates();

// The innermost `kelvanefs` mount at or above `path` and its health, or
// nothing when no such mount covers it. The table is read as it is now.
std::optional<KelvanefsMountState> kelvanefsMountState(const std::filesystem::path& path);

// A mount of this user: the table's "user_id" option names this process's
// effective user.
bool isOwnKelvanefsMount(const MountEntry& entry);

}  // namespace kelvane::platform
