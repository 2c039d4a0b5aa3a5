// SPDX-License-Identifier: MIT
#pragma once

#include "fs/NodeTable.h"
#include "platform/UniqueFd.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

namespace kelvane::fs {

// Hears of every change made in the folders below the mount that the kernel
// knows (by Kelvane's swaps, other programs below, or writes through the
// mount), so that the kernel may keep names, attributes and listings for
// long and be told to drop them as they change. Thread-safe.
class FolderWatch {
public:
    using Id = NodeTable::Id;

    enum class Change {
        names,       // `name` in `folder` came, went or was replaced; the folder's listing changed
        attributes,  // `name` (the folder itself when empty) changed its attributes or contents
        everything,  // changes were lost: nothing the kernel keeps can be trusted
    };
    using Sink = std::function<void(Change change, Id folder, const std::string& name)>;

    explicit FolderWatch(int folderFd);
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Watches the served folder itself and tells `sink` of the changes from
    // a thread of its own; false when the system cannot watch.
    bool start(Sink sink);
    // Stops telling (before the sink's session goes).
    void stop();

    // Watches the folder `relative` below, the node `id`; false when it
    // cannot be watched: from then on complete() is false.
    bool watch(Id id, const std::string& relative);
    // Whether every folder asked for so far is watched: only then may the
    // kernel keep what it learns for long.
    bool complete() const { return complete_.load(std::memory_order_acquire); }

private:
    void run(const std::stop_token& stop);
    void dispatch(const char* events, std::size_t length);

    int folderFd_;
    platform::UniqueFd inotify_;
    platform::UniqueFd wake_;
    Sink sink_;
    std::mutex mutex_;
    std::unordered_map<int, Id> nodes_;  // by watch descriptor
    std::unordered_map<Id, int> watches_;
    std::atomic<bool> complete_{false};
    std::jthread thread_;
};

}  // namespace kelvane::fs
