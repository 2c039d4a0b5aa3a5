// SPDX-License-Identifier: MIT
#pragma once

#include "fs/NodeTable.h"
#include "platform/UniqueFd.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
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
        attributes,  // `name` (the node `folder` itself when empty) changed its attributes
        contents,    // `name` was written to: its size and times changed, nothing else
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

    // The name changes the mount makes itself: the kernel drops what they
    // change when it has the reply, so their echo is not told again.
    enum class Echo : std::uint32_t { created, removed, movedFrom, movedTo };
    // Before the mount makes `echo` of `name` in the watched folder
    // `folder`: the first such event is not told. An event of another
    // program taken for it is covered by the reply, which comes after it.
    // False when the folder is not watched.
    bool expect(Id folder, const std::string& name, Echo echo);
    // After that change failed: an event taken for it was another's, and is
    // told now.
    void unexpect(Id folder, const std::string& name, Echo echo);

private:
    using Expected = std::tuple<Id, std::string, Echo>;

    void run(const std::stop_token& stop);
    void dispatch(const char* events, std::size_t length);
    bool echoOfExpected(Id folder, const std::string& name, std::uint32_t mask);

    int folderFd_;
    platform::UniqueFd inotify_;
    platform::UniqueFd wake_;
    Sink sink_;
    std::mutex mutex_;
    std::unordered_map<int, Id> nodes_;  // by watch descriptor
    std::unordered_map<Id, int> watches_;
    std::map<Expected, unsigned> expected_;  // how many of each are to come
    std::atomic<bool> complete_{false};
    std::jthread thread_;
};

}  // namespace kelvane::fs
