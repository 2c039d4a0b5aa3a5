// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace kelvane::platform {

// The BSD flags word (`FileStat::flags`). Values are the platform's own; the
// stand-in stores the word with each file (see FileSystem.h). Only the flags
// Kelvane sets, keeps or tests are named.
inline constexpr std::uint32_t UF_SETTABLE = 0x0000ffff;  // owner-settable half
inline constexpr std::uint32_t UF_NODUMP = 0x00000001;
inline constexpr std::uint32_t UF_COMPRESSED = 0x00000020;
inline constexpr std::uint32_t UF_HIDDEN = 0x00008000;

inline constexpr std::uint32_t SF_SETTABLE = 0xffff0000;  // super-user half
inline constexpr std::uint32_t SF_ARCHIVED = 0x00010000;

}  // namespace kelvane::platform
