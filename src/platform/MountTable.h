// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::platform {

// One line of /proc/self/mountinfo, names unescaped ("\040" is a space).
struct MountEntry {
    int mountId = 0;
    int parentId = 0;
    unsigned major = 0;
    unsigned minor = 0;
    std::string root;        // the directory of the file system seen at the mount point
    std::filesystem::path mountPoint;
    std::vector<std::string> mountOptions;  // per mount: ro, nosuid, noatime, ...
    std::string fsType;      // "ext4", "fuse.sshfs", ...
    std::string source;      // "/dev/sda1", "server:/export", "tmpfs"
    std::vector<std::string> superOptions;  // per file system: errors=..., subvol=...

    bool hasOption(std::string_view option) const;
    // The value of "name=value" among both option lists.
    std::optional<std::string> optionValue(std::string_view name) const;
};

// A mounted volume the user would recognise as one.
struct VisibleMount {
    MountEntry entry;
    bool remote = false;       // network or cluster file system
    bool automounted = false;  // mounted on demand over an autofs trigger
};

// The mount table, read afresh from <procRoot>/self/mountinfo with libmount
// (escapes, optional fields and the separator are its business).
class MountTable {
public:
    // Nothing when the table cannot be read.
    static std::optional<MountTable> read(const std::filesystem::path& procRoot);
    // Lines that do not parse are skipped.
    static MountTable parse(std::string_view mountinfoText);

    const std::vector<MountEntry>& entries() const { return entries_; }

    // The volumes worth listing, in table order. Left out: pseudo and kernel
    // file systems, anything under /proc, /sys, /dev and /run (removable media
    // under /run/media stay), mounts hidden under a later mount on the same
    // point, autofs triggers (the file system mounted over one is listed), and
    // bind mounts that show again a file system already listed.
    std::vector<VisibleMount> visibleMounts() const;

    // The visible mount at exactly this mount point.
    std::optional<VisibleMount> visibleMount(const std::filesystem::path& mountPoint) const;

    // Turns the escapes of the table ("\040", "\011", "\012", "\134") back
    // into bytes, for names taken from elsewhere in the same form.
    static std::string unescape(std::string_view field);

    static bool isPseudoFileSystem(std::string_view fsType);
    static bool isRemoteFileSystem(std::string_view fsType);

private:
    std::vector<MountEntry> entries_;
};

}  // namespace kelvane::platform
