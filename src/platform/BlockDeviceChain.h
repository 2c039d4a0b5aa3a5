// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace kelvane::platform {

// The block device behind a mount and the chain below it (device mapper,
// partitions) down to the physical disk, read from sysfs and, where present,
// the udev database.
struct BlockDeviceFacts {
    std::string name;  // kernel name of the mounted device: "sda1", "dm-0", "nvme0n1p2"
    // Of the mounted device itself.
    std::optional<std::int64_t> size;  // bytes
    std::optional<std::int64_t> logicalBlockSize;
    std::optional<bool> readOnly;
    std::optional<std::string> fsUuid;
    std::optional<std::string> fsLabel;
    bool encrypted = false;  // a dm-crypt (LUKS, plain) layer somewhere in the chain
    // Of the physical disk at the bottom of the chain; strings as sysfs holds
    // them (often padded with spaces).
    std::optional<std::string> model;
    std::optional<std::string> vendor;
    std::optional<std::string> revision;
    std::optional<std::string> protocol;  // "NVMe", "USB", "SATA", ...
    std::optional<bool> rotational;
    std::optional<bool> removable;
    bool usb = false;
    bool virtualDevice = false;  // loop, zram, ram: no hardware behind it
};

class BlockDeviceChain {
public:
    // `sysRoot` stands for /sys, `udevDataDir` for /run/udev/data.
    BlockDeviceChain(std::filesystem::path sysRoot, std::filesystem::path udevDataDir);

    // The device of a mount, by its number or, for file systems that show an
    // anonymous number (btrfs), by its source ("/dev/sda2",
    // "/dev/mapper/NAME"). Nothing when no block device is behind it (tmpfs,
    // overlay, network file systems).
    std::optional<BlockDeviceFacts> describe(unsigned major, unsigned minor, const std::string& source) const;

private:
    std::optional<std::filesystem::path> deviceDirectory(unsigned major, unsigned minor, const std::string& source) const;
    BlockDeviceFacts describeDirectory(const std::filesystem::path& top) const;

    std::filesystem::path sysRoot_;
    std::filesystem::path udevDataDir_;
};

}  // namespace kelvane::platform
