// SPDX-License-Identifier: MIT
#include "engine/WorkBuffers.h"

#include "platform/DecmpfsFormat.h"

namespace kelvane::engine {
namespace {

// A file just below the streaming threshold, or its fork with the encoder's
// slack of 64 bytes per block and the offset table.
constexpr std::size_t kKeptCapacity =
    static_cast<std::size_t>(decmpfs::streamingThreshold + decmpfs::streamingThreshold / 64);

thread_local WorkBuffers threadBuffers;

}  // namespace

WorkBuffers::Lease::Lease() : buffers_(&threadBuffers) {}

WorkBuffers::Lease::~Lease()
{
    buffers_->source.releaseAbove(kKeptCapacity);
    buffers_->fork.releaseAbove(kKeptCapacity);
    buffers_->decoded.releaseAbove(kKeptCapacity);
}

}  // namespace kelvane::engine
