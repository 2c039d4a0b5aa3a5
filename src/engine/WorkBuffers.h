// SPDX-License-Identifier: MIT
#pragma once

#include "engine/ByteBuffer.h"

namespace kelvane::engine {

// The buffers of one thread's compressions and decompressions, reused from
// step to step and from file to file of a run instead of being allocated,
// faulted in and freed for each. Taken with `Lease`; a thread holds one
// lease at a time.
struct WorkBuffers {
    ByteBuffer source;    // the file's bytes (in-memory road) or one read chunk (streaming)
    ByteBuffer fork;      // the fork being built (in-memory road) or one encoded block
    ByteBuffer decoded;   // one decoded block, or one read-back chunk

    // Lends this thread's buffers for one operation; afterwards any that grew
    // beyond what the in-memory road needs at the default threshold (a
    // caller's larger threshold) is given back, so a worker keeps at most
    // about 37 MiB between files.
    class Lease {
    public:
        Lease();
        ~Lease();
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        WorkBuffers& operator*() const { return *buffers_; }
        WorkBuffers* operator->() const { return buffers_; }

    private:
        WorkBuffers* buffers_;
    };
};

}  // namespace kelvane::engine
