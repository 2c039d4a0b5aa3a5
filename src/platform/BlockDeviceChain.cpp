// SPDX-License-Identifier: MIT
#include "platform/BlockDeviceChain.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

namespace kelvane::platform {

namespace fs = std::filesystem;

namespace {

std::optional<std::string> readAttribute(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    std::string value = text.str();
    // sysfs ends every value with one newline; padding before it is the device's own.
    if (!value.empty() && value.back() == '\n')
        value.pop_back();
    return value;
}

std::optional<std::int64_t> readNumber(const fs::path& file)
{
    const auto text = readAttribute(file);
    if (!text)
        return std::nullopt;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc() || end != text->data() + text->size())
        return std::nullopt;
    return value;
}

std::optional<bool> readFlag(const fs::path& file)
{
    const auto value = readNumber(file);
    if (!value)
        return std::nullopt;
    return *value != 0;
}

// "E:KEY=value" lines of one udev database record.
std::optional<std::string> udevProperty(const fs::path& record, std::string_view key)
{
    std::ifstream in(record);
    std::string line;
    const std::string prefix = "E:" + std::string(key) + "=";
    while (std::getline(in, line))
        if (line.compare(0, prefix.size(), prefix) == 0)
            return line.substr(prefix.size());
    return std::nullopt;
}

std::optional<fs::path> resolved(const fs::path& link)
{
    std::error_code error;
    fs::path path = fs::canonical(link, error);
    if (error)
        return std::nullopt;
    return path;
}

bool pathHas(const fs::path& path, std::string_view component)
{
    return std::any_of(path.begin(), path.end(), [&](const fs::path& part) {
        return part.native().compare(0, component.size(), component) == 0;
    });
}

std::optional<std::string> protocolOf(const fs::path& diskDir, const std::optional<std::string>& udevBus)
{
    // The bus the disk hangs on shows in its device path; the order matters
    // (a USB bridge sits below a PCI controller).
    static const std::pair<std::string_view, std::string_view> buses[] = {
        {"usb", "USB"}, {"nvme", "NVMe"}, {"mmc", "SD/MMC"}, {"virtio", "Virtio"},
        {"ata", "SATA"}, {"host", "SCSI"},
    };
    for (const auto& [token, name] : buses)
        if (pathHas(diskDir, token))
            return std::string(name);
    if (udevBus && !udevBus->empty())
        return *udevBus;
    return std::nullopt;
}

}  // namespace

BlockDeviceChain::BlockDeviceChain(fs::path sysRoot, fs::path udevDataDir)
    : sysRoot_(std::move(sysRoot)), udevDataDir_(std::move(udevDataDir))
{
}

std::optional<fs::path> BlockDeviceChain::deviceDirectory(unsigned major, unsigned minor, const std::string& source) const
{
    if (major != 0) {
        const auto top = resolved(sysRoot_ / "dev" / "block" / (std::to_string(major) + ":" + std::to_string(minor)));
        if (top && fs::exists(*top / "dev"))
            return top;
    }
    if (source.rfind("/dev/", 0) != 0)
        return std::nullopt;
    const std::string name = fs::path(source).filename().string();
    if (name.empty())
        return std::nullopt;
    if (source.rfind("/dev/mapper/", 0) == 0) {
        std::error_code error;
        for (fs::directory_iterator it(sysRoot_ / "class" / "block", error), end; !error && it != end;
             it.increment(error)) {
            if (readAttribute(it->path() / "dm" / "name") == name)
                return resolved(it->path());
        }
        return std::nullopt;
    }
    const auto top = resolved(sysRoot_ / "class" / "block" / name);
    if (top && fs::exists(*top / "dev"))
        return top;
    return std::nullopt;
}

std::optional<BlockDeviceFacts> BlockDeviceChain::describe(unsigned major, unsigned minor, const std::string& source) const
{
    const auto top = deviceDirectory(major, minor, source);
    if (!top)
        return std::nullopt;
    return describeDirectory(*top);
}

BlockDeviceFacts BlockDeviceChain::describeDirectory(const fs::path& top) const
{
    BlockDeviceFacts facts;
    facts.name = top.filename().string();
    if (const auto sectors = readNumber(top / "size"))
        facts.size = *sectors * 512;
    facts.readOnly = readFlag(top / "ro");
    const fs::path udevRecord = udevDataDir_ / ("b" + readAttribute(top / "dev").value_or("?"));
    facts.fsUuid = udevProperty(udevRecord, "ID_FS_UUID");
    facts.fsLabel = udevProperty(udevRecord, "ID_FS_LABEL");

    // Down the device-mapper and md layers to the first physical device.
    fs::path device = top;
    for (int depth = 0; depth < 16; ++depth) {
        if (const auto uuid = readAttribute(device / "dm" / "uuid"); uuid && uuid->rfind("CRYPT-", 0) == 0)
            facts.encrypted = true;
        std::vector<fs::path> slaves;
        std::error_code error;
        for (fs::directory_iterator it(device / "slaves", error), end; !error && it != end; it.increment(error))
            slaves.push_back(it->path());
        if (slaves.empty())
            break;
        std::sort(slaves.begin(), slaves.end());
        const auto lower = resolved(slaves.front());
        if (!lower)
            break;
        device = *lower;
    }

    const fs::path disk = fs::exists(device / "partition") ? device.parent_path() : device;
    facts.logicalBlockSize = readNumber(top / "queue" / "logical_block_size");
    if (!facts.logicalBlockSize)
        facts.logicalBlockSize = readNumber(disk / "queue" / "logical_block_size");
    facts.model = readAttribute(disk / "device" / "model");
    facts.vendor = readAttribute(disk / "device" / "vendor");
    // Virtio disks give their bus's numeric vendor id ("0x1af4"), not a name.
    if (facts.vendor && facts.vendor->rfind("0x", 0) == 0)
        facts.vendor.reset();
    facts.revision = readAttribute(disk / "device" / "rev");
    if (!facts.revision)
        facts.revision = readAttribute(disk / "device" / "firmware_rev");
    facts.rotational = readFlag(disk / "queue" / "rotational");
    facts.removable = readFlag(disk / "removable");
    facts.usb = pathHas(disk, "usb");
    facts.virtualDevice = pathHas(disk, "virtual");

    std::optional<std::string> bus;
    if (const auto diskNumber = readAttribute(disk / "dev"))
        bus = udevProperty(udevDataDir_ / ("b" + *diskNumber), "ID_BUS");
    facts.protocol = facts.virtualDevice ? std::nullopt : protocolOf(disk, bus);
    return facts;
}

}  // namespace kelvane::platform
