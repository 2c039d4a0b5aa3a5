#include "platform/MountTable.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>
#include <set>
#include <sstream>
#include <utility>

namespace kelvane::platform {

namespace {

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            parts.push_back(text.substr(start));
            break;
        }
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

template <typename T>
bool parseNumber(std::string_view text, T& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

std::vector<std::string> options(std::string_view field)
{
    std::vector<std::string> list;
    for (const auto option : split(field, ','))
        if (!option.empty())
            list.push_back(MountTable::unescape(option));
    return list;
}

std::optional<MountEntry> parseLine(std::string_view line)
{
    std::vector<std::string_view> fields;
    for (const auto field : split(line, ' '))
        if (!field.empty())
            fields.push_back(field);
    // id parent maj:min root mountpoint options [optional...] - type source superoptions
    const auto dash = std::find(fields.begin(), fields.end(), std::string_view("-"));
    if (fields.size() < 10 || dash - fields.begin() < 6 || fields.end() - dash < 4)
        return std::nullopt;
    MountEntry entry;
    const auto device = split(fields[2], ':');
    if (!parseNumber(fields[0], entry.mountId) || !parseNumber(fields[1], entry.parentId) ||
        device.size() != 2 || !parseNumber(device[0], entry.major) || !parseNumber(device[1], entry.minor))
        return std::nullopt;
    entry.root = MountTable::unescape(fields[3]);
    entry.mountPoint = MountTable::unescape(fields[4]);
    entry.mountOptions = options(fields[5]);
    entry.fsType = MountTable::unescape(*(dash + 1));
    entry.source = MountTable::unescape(*(dash + 2));
    entry.superOptions = options(*(dash + 3));
    return entry;
}

bool isUnder(const std::filesystem::path& path, std::string_view folder)
{
    const std::string& text = path.native();
    return text == folder || (text.size() > folder.size() && text.compare(0, folder.size(), folder) == 0 &&
                              text[folder.size()] == '/');
}

bool isSystemMountPoint(const std::filesystem::path& mountPoint)
{
    if (isUnder(mountPoint, "/run/media"))
        return false;
    for (const std::string_view folder : {"/proc", "/sys", "/dev", "/run"})
        if (isUnder(mountPoint, folder))
            return true;
    return false;
}

// A btrfs subvolume mount shows the subvolume as its root; that is a volume of
// its own, not a bind mount.
bool mountsWholeFileSystem(const MountEntry& entry)
{
    if (entry.root == "/")
        return true;
    return entry.fsType == "btrfs" && entry.optionValue("subvol") == entry.root;
}

}  // namespace

bool MountEntry::hasOption(std::string_view option) const
{
    return std::find(mountOptions.begin(), mountOptions.end(), option) != mountOptions.end() ||
           std::find(superOptions.begin(), superOptions.end(), option) != superOptions.end();
}

std::optional<std::string> MountEntry::optionValue(std::string_view name) const
{
    for (const auto* list : {&mountOptions, &superOptions}) {
        for (const std::string& option : *list) {
            if (option.size() > name.size() && option.compare(0, name.size(), name) == 0 &&
                option[name.size()] == '=')
                return option.substr(name.size() + 1);
        }
    }
    return std::nullopt;
}

std::string MountTable::unescape(std::string_view field)
{
    std::string text;
    text.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const auto digits = field.substr(i + 1, 3);
            if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '7'; })) {
                text.push_back(static_cast<char>(((digits[0] - '0') << 6) | ((digits[1] - '0') << 3) | (digits[2] - '0')));
                i += 3;
                continue;
            }
        }
        text.push_back(field[i]);
    }
    return text;
}

bool MountTable::isPseudoFileSystem(std::string_view fsType)
{
    static const std::set<std::string_view> pseudo = {
        "autofs", "binfmt_misc", "bpf", "cgroup", "cgroup2", "configfs", "debugfs", "devpts", "devtmpfs",
        "efivarfs", "fusectl", "hugetlbfs", "mqueue", "nsfs", "proc", "pstore", "ramfs", "rpc_pipefs",
        "securityfs", "selinuxfs", "sysfs", "tracefs", "nfsd", "rootfs", "fuse.portal", "fuse.gvfsd-fuse",
    };
    return pseudo.count(fsType) != 0;
}

bool MountTable::isRemoteFileSystem(std::string_view fsType)
{
    static const std::set<std::string_view> remote = {
        "nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "9p", "ceph", "glusterfs", "lustre",
        "gfs2", "ocfs2", "davfs", "fuse.sshfs", "fuse.rclone", "fuse.s3fs", "fuse.gcsfuse",
        "fuse.glusterfs", "fuse.cephfs", "fuse.davfs2", "fuse.curlftpfs",
    };
    return remote.count(fsType) != 0;
}

std::optional<MountTable> MountTable::read(const std::filesystem::path& procRoot)
{
    std::ifstream file(procRoot / "self" / "mountinfo", std::ios::binary);
    if (!file)
        return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad())
        return std::nullopt;
    return parse(text.str());
}

MountTable MountTable::parse(std::string_view mountinfoText)
{
    MountTable table;
    for (const auto line : split(mountinfoText, '\n'))
        if (auto entry = parseLine(line))
            table.entries_.push_back(std::move(*entry));
    return table;
}

std::vector<VisibleMount> MountTable::visibleMounts() const
{
    std::set<int> autofsIds;
    std::set<std::filesystem::path> autofsPoints;
    for (const MountEntry& entry : entries_) {
        if (entry.fsType == "autofs") {
            autofsIds.insert(entry.mountId);
            autofsPoints.insert(entry.mountPoint);
        }
    }

    // Candidates: real file systems outside the system's own folders, and only
    // the topmost of several mounts stacked on one point.
    std::vector<const MountEntry*> candidates;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const MountEntry& entry = entries_[i];
        if (isPseudoFileSystem(entry.fsType) || isSystemMountPoint(entry.mountPoint))
            continue;
        const bool covered = std::any_of(entries_.begin() + static_cast<std::ptrdiff_t>(i) + 1, entries_.end(),
                                         [&](const MountEntry& later) { return later.mountPoint == entry.mountPoint; });
        if (!covered)
            candidates.push_back(&entry);
    }

    std::vector<VisibleMount> visible;
    std::set<std::pair<std::pair<unsigned, unsigned>, std::string>> seenRoots;
    std::set<std::pair<unsigned, unsigned>> devicesWithWholeMount;
    for (const MountEntry* entry : candidates)
        if (mountsWholeFileSystem(*entry))
            devicesWithWholeMount.insert({entry->major, entry->minor});

    for (const MountEntry* entry : candidates) {
        const std::pair<unsigned, unsigned> device{entry->major, entry->minor};
        // A second mount of the same tree, or a bind mount of a part of a file
        // system that is listed whole elsewhere, is the same volume again.
        if (!seenRoots.insert({device, entry->root}).second)
            continue;
        if (!mountsWholeFileSystem(*entry) && devicesWithWholeMount.count(device) != 0)
            continue;
        VisibleMount mount;
        mount.entry = *entry;
        mount.remote = isRemoteFileSystem(entry->fsType);
        mount.automounted = autofsIds.count(entry->parentId) != 0 || autofsPoints.count(entry->mountPoint) != 0;
        visible.push_back(std::move(mount));
    }
    return visible;
}

std::optional<VisibleMount> MountTable::visibleMount(const std::filesystem::path& mountPoint) const
{
    for (VisibleMount& mount : visibleMounts())
        if (mount.entry.mountPoint == mountPoint)
            return std::move(mount);
    return std::nullopt;
}

}  // namespace kelvane::platform
