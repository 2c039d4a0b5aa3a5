// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

namespace kelvane::fs {

// How many requests of each kind the daemon answered and how long it spent
// on them, from the call into the file system to the end of its reply: set
// apart from the kernel's round trip, it shows where a walk's time goes.
// Kept only when asked for (-o request_times=FILE); lock-free.
class RequestTimes {
public:
    enum class Kind {
        lookup, forget, getattr, setattr, readlink, mknod, mkdir, symlink, link, unlink, rmdir, rename, open, create,
        read, write, flush, release, fsync, fallocate, flock, opendir, readdir, readdirplus, releasedir, fsyncdir,
        statfs, access, getxattr, listxattr, setxattr, removexattr, count
    };

    void add(Kind kind, std::chrono::nanoseconds spent)
    {
        Counter& counter = counters_[static_cast<std::size_t>(kind)];
        counter.requests.fetch_add(1, std::memory_order_relaxed);
        counter.nanoseconds.fetch_add(static_cast<std::uint64_t>(spent.count()), std::memory_order_relaxed);
    }
    std::uint64_t requests(Kind kind) const
    {
        return counters_[static_cast<std::size_t>(kind)].requests.load(std::memory_order_relaxed);
    }

    // One line per kind asked: "GETATTR  1234 requests  5.678 ms  4.6 us each",
    // the busiest first, and the totals.
    std::string table() const;

private:
    struct Counter {
        std::atomic<std::uint64_t> requests{0};
        std::atomic<std::uint64_t> nanoseconds{0};
    };
    std::array<Counter, static_cast<std::size_t>(Kind::count)> counters_;
};

}  // namespace kelvane::fs
