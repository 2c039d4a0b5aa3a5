// SPDX-License-Identifier: MIT
#pragma once

#include "discovery/ItemKind.h"
#include "operations/mounts/MountRefusal.h"
#include "platform/FuseTools.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace kelvane::store {
class ModelContext;
class RegisteredItem;
}

namespace kelvane::platform {
class SystemdUserUnits;
}

namespace kelvane::operations {

struct MountKeeperSettings {
    platform::FuseTools tools;
    // The program started when no kelvanefs@ unit mounts the folder.
    std::filesystem::path kelvanefs = "kelvanefs";
    // Mount through the user manager's kelvanefs@ unit where it runs the
    // same kelvanefs as above.
    bool userUnits = true;
    // The D-Bus address the user manager is asked on; empty: the session bus.
    std::string userBus;
    // How long a mount may take to come up, and a lock to be had.
    std::chrono::milliseconds wait{std::chrono::seconds(20)};

    // The host's FUSE tools (FuseTools::fromEnvironment), the kelvanefs
    // beside the running program, else the installed one.
    static MountKeeperSettings fromEnvironment();
};

// A live kelvanefs mount of this user serves the item.
struct MountServed {
    std::filesystem::path mountPoint;
    friend bool operator==(const MountServed&, const MountServed&) = default;
};

using MountOutcome = std::variant<MountServed, MountRefusal>;

// A registered item as the keeper needs it.
struct RegisteredPath {
    std::filesystem::path path;
    discovery::ItemKind kind = discovery::ItemKind::folder;
};

// What became of a mount once its folder was unregistered.
enum class MountRelease {
    removed,           // unmounted (and its unit disabled)
    notMounted,        // no kelvanefs mount serves the folder
    notOurs,           // a mount Kelvane did not make stays
    stillRegistered,   // another registered item lies in it
    holdsCompressed,   // a compressed file is still in it
    failed,            // unmounting failed; the mount stays
};

// The one place that makes sure a registered item is served by a live
// kelvanefs mount, and says why not. Compressed files read as their
// original bytes in every program only there, so nothing is compressed
// elsewhere.
//
// A folder is mounted over itself unless a live mount of this user already
// covers it (nested registrations share one mount); a file's folder is
// mounted for it. A dead mount of this user is removed lazily and made
// again. Mounts go through the user manager's kelvanefs@ unit where it runs
// this kelvanefs (enabled: the mount comes back at every login), else
// kelvanefs is started here. Kelvane processes racing for one mount make
// one: a lock per mount, and the table read again once it is held.
//
// Every call blocks (for a mount, up to `wait`) and may run on any thread.
class MountKeeper {
public:
    explicit MountKeeper(MountKeeperSettings settings = MountKeeperSettings::fromEnvironment());

    MountOutcome ensureServed(const std::filesystem::path& item, discovery::ItemKind kind) const;

    // Each item in turn; refusals are logged.
    std::vector<MountOutcome> ensureServed(std::span<const RegisteredPath> items) const;

    // Removes the mount that served an item that was unregistered, once it
    // is no longer needed: only a mount Kelvane made, with no item of
    // `stillRegistered` in it and no compressed file below it.
    MountRelease releaseIfUnneeded(const RegisteredPath& removed, std::span<const RegisteredPath> stillRegistered) const;

    const MountKeeperSettings& settings() const { return settings_; }

private:
    platform::SystemdUserUnits userUnits() const;
    MountOutcome mountAt(const std::filesystem::path& target) const;
    MountOutcome mountThroughUnit(const std::filesystem::path& target, bool& tried) const;
    MountOutcome startDaemon(const std::filesystem::path& target) const;
    MountOutcome waitUntilLive(const std::filesystem::path& target, const std::string& unit) const;

    MountKeeperSettings settings_;
};

// Where a registered item is; for one hidden by a dead kelvanefs mount of
// this user, where it was (the keeper heals the mount there). Nothing for an
// item that is gone or whose bookmark is damaged (logged).
std::optional<RegisteredPath> registeredPathOf(const store::RegisteredItem& item);

// The registered items the store holds, as paths (the main thread's
// context); an item whose bookmark no longer resolves is left out.
std::vector<RegisteredPath> registeredPaths(store::ModelContext& context);

// The start-up call of both the window and the headless run: every
// registered item served, or its refusal logged. Blocks.
std::vector<MountOutcome> ensureRegisteredItemsServed(store::ModelContext& context,
                                                      const MountKeeper& keeper = MountKeeper());

}  // namespace kelvane::operations
