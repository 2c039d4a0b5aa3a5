// SPDX-License-Identifier: MIT
#pragma once

// Fixture /proc, /sys and udev trees for the volume backend, plus a probe that
// answers from a table instead of touching a real file system.

#include "platform/LinuxVolumeBackend.h"
#include "support/TempDir.h"

#include <condition_variable>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace kelvane::test {

class VolumeFixture {
public:
    VolumeFixture()
    {
        std::filesystem::create_directories(proc() / "self");
        std::filesystem::create_directories(sys() / "dev" / "block");
        std::filesystem::create_directories(sys() / "class" / "block");
        std::filesystem::create_directories(udev());
    }

    std::filesystem::path proc() const { return dir_.path() / "proc"; }
    std::filesystem::path sys() const { return dir_.path() / "sys"; }
    std::filesystem::path udev() const { return dir_.path() / "udev"; }
    platform::VolumeRoots roots() const { return {proc(), sys(), udev()}; }

    void setMountInfo(const std::string& text) { write(proc() / "self" / "mountinfo", text); }

    // A block device under sys/devices/<devicePath>, with its attribute files
    // (keys may hold folders: "queue/rotational"), linked from sys/dev/block
    // and sys/class/block as the kernel links it.
    std::filesystem::path addBlockDevice(const std::string& devicePath, const std::string& number,
                                         const std::map<std::string, std::string>& attributes)
    {
        const auto dir = sys() / "devices" / devicePath;
        std::filesystem::create_directories(dir);
        write(dir / "dev", number + "\n");
        for (const auto& [name, value] : attributes)
            write(dir / name, value + "\n");
        link(sys() / "dev" / "block" / number, dir);
        link(sys() / "class" / "block" / dir.filename(), dir);
        return dir;
    }

    // `upper` is built on `lower` (device mapper slaves).
    void stack(const std::filesystem::path& upper, const std::filesystem::path& lower)
    {
        std::filesystem::create_directories(upper / "slaves");
        link(upper / "slaves" / lower.filename(), lower);
    }

    void udevRecord(const std::string& number, const std::string& lines) { write(udev() / ("b" + number), lines); }

    void markJournal(const std::string& deviceName)
    {
        std::filesystem::create_directories(proc() / "fs" / "jbd2" / (deviceName + "-8"));
    }

    static void write(const std::filesystem::path& file, const std::string& text)
    {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }

private:
    static void link(const std::filesystem::path& at, const std::filesystem::path& target)
    {
        std::filesystem::create_directories(at.parent_path());
        std::filesystem::create_directory_symlink(std::filesystem::relative(target, at.parent_path()), at);
    }

    TempDir dir_;
};

// Answers from `answers` per mount point, records every call, and holds the
// calls for the mount points in `blocked` until `release()`.
struct TableProbe {
    struct State {
        std::mutex mutex;
        std::condition_variable released;
        bool open = false;
        std::map<std::filesystem::path, platform::MountPointFacts> answers;
        std::set<std::filesystem::path> blocked;
        std::vector<std::pair<std::filesystem::path, platform::ProbeDepth>> calls;
    };
    std::shared_ptr<State> state = std::make_shared<State>();

    platform::MountPointProbe probe() const
    {
        return [state = state](const std::filesystem::path& mountPoint, platform::ProbeDepth depth) {
            std::unique_lock lock(state->mutex);
            state->calls.emplace_back(mountPoint, depth);
            if (state->blocked.count(mountPoint) != 0)
                state->released.wait(lock, [&] { return state->open; });
            const auto it = state->answers.find(mountPoint);
            return it == state->answers.end() ? platform::MountPointFacts{} : it->second;
        };
    }

    void release()
    {
        const std::lock_guard lock(state->mutex);
        state->open = true;
        state->released.notify_all();
    }

    std::vector<platform::ProbeDepth> depthsFor(const std::filesystem::path& mountPoint) const
    {
        const std::lock_guard lock(state->mutex);
        std::vector<platform::ProbeDepth> depths;
        for (const auto& [point, depth] : state->calls)
            if (point == mountPoint)
                depths.push_back(depth);
        return depths;
    }
};

inline platform::MountPointFacts ext4Facts()
{
    platform::MountPointFacts facts;
    facts.space = platform::MountPointFacts::Space{4096, 1000, 400, 300, 500, 200};
    facts.userAttributes = true;
    facts.posixAcls = true;
    facts.fileSizeBits = 64;
    facts.linkMax = 65000;
    facts.symbolicLinks = true;
    return facts;
}

}  // namespace kelvane::test
