// SPDX-License-Identifier: MIT
#include "operations/mounts/MountKeeper.h"

#include "discovery/BookmarkError.h"
#include "discovery/HomeFolder.h"
#include "discovery/SecurityScopedBookmark.h"
#include "platform/ChildProcess.h"
#include "platform/DirectoryReader.h"
#include "platform/FileFlags.h"
#include "platform/FileStat.h"
#include "platform/FileSystem.h"
#include "platform/KelvanefsMount.h"
#include "platform/KelvanefsMountLock.h"
#include "platform/Logger.h"
#include "platform/ProcessStart.h"
#include "platform/SystemdEscape.h"
#include "platform/qt/SystemdUserUnits.h"
#include "store/ModelContext.h"
#include "store/RegisteredItem.h"

#include <cerrno>
#include <fstream>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvane::operations {

namespace {

using Path = std::filesystem::path;
using Kind = MountRefusal::Kind;

MountOutcome refused(Kind kind, Path folder, std::string detail = {})
{
    return MountRefusal{kind, std::move(folder), std::move(detail)};
}

// Folders that are never mounted over: the whole system, and the home
// folder or one above it (the whole home would go through the daemon).
std::optional<MountRefusal> placeRefusal(const Path& folder)
{
    if (folder == "/")
        return MountRefusal{Kind::rootFolder, folder, {}};
    std::error_code code;
    Path home = std::filesystem::weakly_canonical(discovery::homeFolder(), code);
    if (code)
        home = platform::absoluteNormalPath(discovery::homeFolder());
    if (!home.empty() && platform::isAtOrBelow(platform::absoluteNormalPath(home), folder))
        return MountRefusal{Kind::homeFolder, folder, {}};
    return std::nullopt;
}

std::optional<MountRefusal> fuseRefusal(const platform::FuseTools& tools)
{
    const auto problem = platform::fuseProblem(tools);
    if (!problem)
        return std::nullopt;
    switch (problem->kind) {
    case platform::FuseProblem::Kind::deviceMissing:
        return MountRefusal{Kind::fuseDeviceMissing, {}, problem->detail};
    case platform::FuseProblem::Kind::deviceNotUsable:
        return MountRefusal{Kind::fuseDeviceDenied, {}, problem->detail};
    case platform::FuseProblem::Kind::fusermountMissing:
        return MountRefusal{Kind::fusermountMissing, {}, problem->detail};
    case platform::FuseProblem::Kind::fusermountFails:
        return MountRefusal{Kind::fusermountFails, {}, problem->detail};
    }
    return std::nullopt;
}

// What the table says of the mount covering `folder`: served, refused, or
// nothing (no mount, or a dead one of ours that can be made again).
std::optional<MountOutcome> currentService(const Path& folder)
{
    const auto state = platform::kelvanefsMountState(folder);
    if (!state)
        return std::nullopt;
    const Path& point = state->entry.mountPoint;
    if (!platform::isOwnKelvanefsMount(state->entry))
        return refused(Kind::otherUsersMount, point);
    switch (state->health) {
    case platform::KelvanefsMountHealth::live:
        return MountServed{point};
    case platform::KelvanefsMountHealth::socketMissing:
        return refused(Kind::unreachable, point, platform::unreachableMountReason(folder).value_or(""));
    case platform::KelvanefsMountHealth::dead:
        return std::nullopt;
    }
    return std::nullopt;
}

// Kelvane made the mount at this point (removed again with the mount).
Path madeMarker(const Path& mountPoint)
{
    Path path = platform::kelvanefsSocketPath(mountPoint);
    path.replace_extension(".kept");
    return path;
}

void pause(std::chrono::milliseconds interval)
{
    pollfd none{-1, 0, 0};
    ::poll(&none, 0, static_cast<int>(interval.count()));
}

// Whether a compressed file lies at or below `root`; nothing when some
// folder cannot be read (then it may).
std::optional<bool> holdsCompressedFile(const Path& root)
{
    std::vector<Path> folders{root};
    while (!folders.empty()) {
        const Path folder = std::move(folders.back());
        folders.pop_back();
        std::vector<platform::DirectoryEntry> entries;
        if (platform::readDirectory(folder, false, entries) != 0)
            return std::nullopt;
        for (const auto& entry : entries) {
            const Path path = folder / entry.name;
            using Type = platform::DirectoryEntry::Type;
            if (entry.type == Type::directory) {
                folders.push_back(path);
                continue;
            }
            if (entry.type == Type::symbolicLink || entry.type == Type::other)
                continue;
            platform::FileStat st;
            if (platform::lstat(path, st) != 0)
                return std::nullopt;
            if (S_ISDIR(st.mode))
                folders.push_back(path);
            else if (S_ISREG(st.mode) && (st.flags & platform::UF_COMPRESSED))
                return true;
        }
    }
    return false;
}

// The folder a mount must cover for the item, as given (links kept).
Path folderToServe(const Path& item, discovery::ItemKind kind)
{
    return platform::absoluteNormalPath(kind == discovery::ItemKind::folder ? item : item.parent_path());
}

// The same with links resolved where it can be: where the mount lies.
Path servedFolderOf(const RegisteredPath& item)
{
    const Path folder = folderToServe(item.path, item.kind);
    std::error_code code;
    const Path real = std::filesystem::canonical(folder, code);
    return code ? folder : real;
}

}  // namespace

MountKeeperSettings MountKeeperSettings::fromEnvironment()
{
    MountKeeperSettings settings;
    settings.tools = platform::FuseTools::fromEnvironment();
    const Path beside = platform::executablePath().parent_path() / "kelvanefs";
    const Path installed = Path(KELVANE_INSTALL_BINDIR) / "kelvanefs";
    if (!platform::executablePath().empty() && ::access(beside.c_str(), X_OK) == 0)
        settings.kelvanefs = beside;
    else if (::access(installed.c_str(), X_OK) == 0)
        settings.kelvanefs = installed;
    return settings;
}

MountKeeper::MountKeeper(MountKeeperSettings settings) : settings_(std::move(settings)) {}

MountOutcome MountKeeper::ensureServed(const Path& item, discovery::ItemKind kind) const
{
    const Path given = folderToServe(item, kind);
    std::error_code code;
    Path folder = std::filesystem::canonical(given, code);
    if (code.value() == ENOTCONN)
        folder = given;
    else if (code)
        return refused(Kind::folderMissing, given);
    // A dead mount answers nothing, not even whether it is a folder: the
    // table tells the rest.
    if (!std::filesystem::is_directory(folder, code) && code.value() != ENOTCONN)
        return refused(Kind::folderMissing, given);
    if (auto place = placeRefusal(folder))
        return *place;
    if (auto known = currentService(folder))
        return *known;
    if (auto fuse = fuseRefusal(settings_.tools))
        return *fuse;

    // A dead mount is made again where it was, which may be above the folder.
    const auto deadState = platform::kelvanefsMountState(folder);
    const Path target = deadState ? deadState->entry.mountPoint : folder;
    if (auto place = placeRefusal(target))
        return *place;
    std::string lockError;
    const auto lock = platform::KelvanefsMountLock::acquire(target, settings_.wait, lockError);
    if (!lock)
        return refused(Kind::busy, target, lockError);
    // Another process may have mounted it while this one waited.
    if (auto known = currentService(folder))
        return *known;
    if (const auto state = platform::kelvanefsMountState(target);
        state && state->entry.mountPoint == target && state->health == platform::KelvanefsMountHealth::dead) {
        const auto failure = platform::unmountFuse(settings_.tools, target, true);
        const auto after = platform::kelvanefsMountState(target);
        if (after && after->entry.mountPoint == target && after->health == platform::KelvanefsMountHealth::dead)
            return refused(Kind::deadMountStays, target, failure.value_or(""));
        platform::Logger::data().info("removed the dead kelvanefs mount at %{private}s to mount it again", target);
    }
    code.clear();
    if (!std::filesystem::is_directory(target, code))
        return refused(Kind::folderMissing, target);
    return mountAt(target);
}

std::vector<MountOutcome> MountKeeper::ensureServed(std::span<const RegisteredPath> items) const
{
    std::vector<MountOutcome> outcomes;
    outcomes.reserve(items.size());
    for (const RegisteredPath& item : items) {
        outcomes.push_back(ensureServed(item.path, item.kind));
        if (const auto* refusal = std::get_if<MountRefusal>(&outcomes.back()))
            platform::Logger::data().error("no kelvanefs mount serves %{private}s: %{public}s", item.path,
                                           refusal->text());
    }
    return outcomes;
}

platform::SystemdUserUnits MountKeeper::userUnits() const
{
    if (settings_.userBus.empty())
        return platform::SystemdUserUnits();
    const QString address = QString::fromStdString(settings_.userBus);
    const QString name = QStringLiteral("kelvane-user-manager ") + address;
    return platform::SystemdUserUnits(QDBusConnection::connectToBus(address, name));
}

MountOutcome MountKeeper::mountAt(const Path& target) const
{
    if (settings_.userUnits) {
        bool tried = false;
        MountOutcome outcome = mountThroughUnit(target, tried);
        if (tried)
            return outcome;
    }
    return startDaemon(target);
}

MountOutcome MountKeeper::mountThroughUnit(const Path& target, bool& tried) const
{
    const platform::SystemdUserUnits units = userUnits();
    if (!units.available())
        return refused(Kind::mountFailed, target);
    const std::string unit = platform::kelvanefsUnitName(target);
    const auto file = units.unitFile(unit);
    const auto program = file ? platform::SystemdUserUnits::execStartProgram(*file) : std::nullopt;
    // A unit that runs another kelvanefs than ours (Kelvane run from its
    // build folder beside an installed one) is left alone.
    std::error_code code;
    if (!program || !std::filesystem::equivalent(*program, settings_.kelvanefs, code))
        return refused(Kind::mountFailed, target);
    tried = true;
    if (const auto failure = units.enableAndStart(unit))
        return refused(Kind::mountFailed, target, *failure);
    return waitUntilLive(target, unit);
}

MountOutcome MountKeeper::startDaemon(const Path& target) const
{
    // kelvanefs returns once the mount is made and its daemon detached.
    const platform::ChildResult result =
        platform::runChild({settings_.kelvanefs.string(), target.string()}, settings_.wait);
    if (!result.succeeded()) {
        if (auto known = currentService(target))
            return *known;
        return refused(Kind::mountFailed, target,
                       settings_.kelvanefs.filename().string() + ": " + result.failureText());
    }
    return waitUntilLive(target, {});
}

MountOutcome MountKeeper::waitUntilLive(const Path& target, const std::string& unit) const
{
    std::optional<platform::SystemdUserUnits> units;
    if (!unit.empty())
        units.emplace(userUnits());
    const auto deadline = std::chrono::steady_clock::now() + settings_.wait;
    for (;;) {
        const auto state = platform::kelvanefsMountState(target);
        if (state && state->entry.mountPoint == target && platform::isOwnKelvanefsMount(state->entry) &&
            state->health == platform::KelvanefsMountHealth::live) {
            std::ofstream(madeMarker(target)) << target.native() << '\n';
            platform::Logger::data().info("kelvanefs serves %{private}s", target);
            return MountServed{target};
        }
        if (units && units->activeState(unit) == std::optional<std::string>("failed"))
            return refused(Kind::mountFailed, target, unit + " failed (journalctl --user -u " + unit + ")");
        if (std::chrono::steady_clock::now() > deadline)
            return refused(Kind::mountFailed, target,
                           (unit.empty() ? "" : unit + ": ") + "the mount did not come up in time");
        pause(std::chrono::milliseconds(20));
    }
}

MountRelease MountKeeper::releaseIfUnneeded(const RegisteredPath& removed,
                                            std::span<const RegisteredPath> stillRegistered) const
{
    const auto state = platform::kelvanefsMountState(servedFolderOf(removed));
    if (!state)
        return MountRelease::notMounted;
    const Path point = state->entry.mountPoint;
    if (!platform::isOwnKelvanefsMount(state->entry) || !std::filesystem::exists(madeMarker(point)))
        return MountRelease::notOurs;
    for (const RegisteredPath& item : stillRegistered)
        if (platform::isAtOrBelow(servedFolderOf(item), point))
            return MountRelease::stillRegistered;
    // Unmounted, a compressed file would read as its stored data again.
    if (holdsCompressedFile(point) != std::optional<bool>(false))
        return MountRelease::holdsCompressed;

    std::string lockError;
    const auto lock = platform::KelvanefsMountLock::acquire(point, settings_.wait, lockError);
    if (!lock)
        return MountRelease::failed;
    const std::string unit = platform::kelvanefsUnitName(point);
    if (settings_.userUnits) {
        const platform::SystemdUserUnits units = userUnits();
        if (units.available() && units.unitFileState(unit) == std::optional<std::string>("enabled"))
            if (const auto failure = units.stopAndDisable(unit))
                platform::Logger::data().error("%{public}s", *failure);
    }
    const auto mountedAt = [&] {
        const auto now = platform::kelvanefsMountState(point);
        return now && now->entry.mountPoint == point;
    };
    if (mountedAt()) {
        // Lazily: a program with a file open there keeps it; the mount goes
        // once nothing uses it.
        if (const auto failure = platform::unmountFuse(settings_.tools, point, true))
            platform::Logger::data().error("%{public}s", *failure);
    }
    if (mountedAt())
        return MountRelease::failed;
    std::error_code code;
    std::filesystem::remove(madeMarker(point), code);
    platform::Logger::data().info("removed the kelvanefs mount at %{private}s", point);
    return MountRelease::removed;
}

std::optional<RegisteredPath> registeredPathOf(const store::RegisteredItem& item)
{
    // A kind this version does not know is taken as a file, as the runs do.
    const discovery::ItemKind kind = discovery::itemKindFromRawValue(item.kind()).value_or(discovery::ItemKind::file);
    try {
        return RegisteredPath{discovery::SecurityScopedBookmark::resolveBookmark(item.bookmark()).url, kind};
    } catch (const discovery::BookmarkError& error) {
        // A dead mount hides what lies in it, but the item's place is known:
        // the keeper heals the mount there.
        const auto* failed = error.as<discovery::BookmarkError::resolutionFailed>();
        if (failed && !failed->recordedPath.empty()) {
            const auto state = platform::kelvanefsMountState(failed->recordedPath);
            if (state && state->health == platform::KelvanefsMountHealth::dead)
                return RegisteredPath{failed->recordedPath, kind};
        }
        platform::Logger::data().error("registered item not found, not mounted: %{public}s", error.what());
        return std::nullopt;
    }
}

std::vector<RegisteredPath> registeredPaths(store::ModelContext& context)
{
    std::vector<RegisteredPath> paths;
    for (const auto& item : context.fetch<store::RegisteredItem>())
        if (auto path = registeredPathOf(*item))
            paths.push_back(std::move(*path));
    return paths;
}

std::vector<MountOutcome> ensureRegisteredItemsServed(store::ModelContext& context, const MountKeeper& keeper)
{
    const std::vector<RegisteredPath> items = registeredPaths(context);
    return keeper.ensureServed(items);
}

}  // namespace kelvane::operations
