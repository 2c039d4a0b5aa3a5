// SPDX-License-Identifier: MIT
#pragma once

#include "platform/TypedFailure.h"

#include <cstdint>

namespace kelvane::engine {

using platform::caseText;
using platform::labeled;
using platform::quotedText;
using platform::TypedError;
using platform::TypedFailure;

// Sizes read from untrusted headers are unsigned 64-bit; failure payloads are
// signed 64-bit counts. Values that do not fit are reported as the largest count.
constexpr std::int64_t saturatingCount(std::uint64_t value)
{
    constexpr auto max = static_cast<std::uint64_t>(INT64_MAX);
    return static_cast<std::int64_t>(value > max ? max : value);
}

}  // namespace kelvane::engine
