// SPDX-License-Identifier: MIT
#include "platform/MountTable.h"

#include <algorithm>
#include <cstdio>
#include <libmount/libmount.h>
#include <memory>
#include <set>
#include <sys/sysmacros.h>
#include <utility>

namespace kelvane::platform {

namespace {

using Table = std::unique_ptr<libmnt_table, decltype(&mnt_unref_table)>;

std::vector<std::string> options(const char* field)
{
    std::vector<std::string> list;
    std::string_view rest = field ? field : "";
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view option = rest.substr(0, comma);
        if (!option.empty())
            list.emplace_back(option);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
    return list;
}

std::string text(const char* value) { return value ? value : ""; }

// A new table whose parser skips the lines it cannot read.
Table newTable()
{
    Table table(mnt_new_table(), &mnt_unref_table);
    if (table)
        mnt_table_set_parser_errcb(table.get(), [](libmnt_table*, const char*, int) { return 1; });
    return table;
}

std::vector<MountEntry> entriesOf(libmnt_table* table)
{
    std::vector<MountEntry> entries;
    std::unique_ptr<libmnt_iter, decltype(&mnt_free_iter)> iterator(mnt_new_iter(MNT_ITER_FORWARD), &mnt_free_iter);
    if (!iterator)
        return entries;
    libmnt_fs* fs = nullptr;
    while (mnt_table_next_fs(table, iterator.get(), &fs) == 0) {
        // libmount takes the format from the first line: text that does not
        // begin as the kernel's table is read as some other table, not this one.
        if (!mnt_fs_is_kernel(fs))
            continue;
        MountEntry entry;
        entry.mountId = mnt_fs_get_id(fs);
        entry.parentId = mnt_fs_get_parent_id(fs);
        const dev_t device = mnt_fs_get_devno(fs);
        entry.major = ::major(device);
        entry.minor = ::minor(device);
        entry.root = text(mnt_fs_get_root(fs));
        entry.mountPoint = text(mnt_fs_get_target(fs));
        entry.mountOptions = options(mnt_fs_get_vfs_options(fs));
        entry.fsType = text(mnt_fs_get_fstype(fs));
        entry.source = text(mnt_fs_get_source(fs));
        entry.superOptions = options(mnt_fs_get_fs_options(fs));
        entries.push_back(std::move(entry));
    }
    return entries;
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
    const Table table = newTable();
    const std::filesystem::path file = procRoot / "self" / "mountinfo";
    if (!table || mnt_table_parse_file(table.get(), file.c_str()) != 0)
        return std::nullopt;
    MountTable result;
    result.entries_ = entriesOf(table.get());
    return result;
}

MountTable MountTable::parse(std::string_view mountinfoText)
{
    MountTable result;
    const Table table = newTable();
    if (!table || mountinfoText.empty())
        return result;
    std::string copy(mountinfoText);
    std::unique_ptr<FILE, decltype(&std::fclose)> stream(::fmemopen(copy.data(), copy.size(), "r"), &std::fclose);
    if (!stream)
        return result;
    mnt_table_parse_stream(table.get(), stream.get(), "mountinfo");
    result.entries_ = entriesOf(table.get());
    return result;
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
