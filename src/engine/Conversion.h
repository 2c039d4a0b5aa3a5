// SPDX-License-Identifier: MIT
#pragma once

namespace kelvane::engine {

// The two things Kelvane does to a file.
enum class Conversion { compress, decompress };

}  // namespace kelvane::engine
