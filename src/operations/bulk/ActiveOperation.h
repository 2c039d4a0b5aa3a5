// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

namespace kelvane::operations {

// Namespace of the operation kinds of a bulk run.
struct ActiveOperation {
    // The raw value is the operation text of a history record.
    enum class Kind { compress, decompress };

    static std::string_view rawValue(Kind kind) { return kind == Kind::compress ? "compress" : "decompress"; }
};

}  // namespace kelvane::operations
