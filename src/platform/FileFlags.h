// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace kelvane::platform {

// The BSD flags word (`FileStat::flags`). Values are the platform's own; the
// stand-in stores the word with each file (see FileSystem.h).
inline constexpr std::uint32_t UF_SETTABLE = 0x0000ffff;  // owner-settable half
inline constexpr std::uint32_t UF_NODUMP = 0x00000001;
inline constexpr std::uint32_t UF_IMMUTABLE = 0x00000002;
inline constexpr std::uint32_t UF_APPEND = 0x00000004;
inline constexpr std::uint32_t UF_OPAQUE = 0x00000008;
inline constexpr std::uint32_t UF_COMPRESSED = 0x00000020;
inline constexpr std::uint32_t UF_TRACKED = 0x00000040;
inline constexpr std::uint32_t UF_DATAVAULT = 0x00000080;
inline constexpr std::uint32_t UF_HIDDEN = 0x00008000;

inline constexpr std::uint32_t SF_SETTABLE = 0xffff0000;  // super-user half
inline constexpr std::uint32_t SF_ARCHIVED = 0x00010000;
inline constexpr std::uint32_t SF_IMMUTABLE = 0x00020000;
inline constexpr std::uint32_t SF_APPEND = 0x00040000;
inline constexpr std::uint32_t SF_RESTRICTED = 0x00080000;
inline constexpr std::uint32_t SF_NOUNLINK = 0x00100000;

}  // namespace kelvane::platform
