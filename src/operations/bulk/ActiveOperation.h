// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string_view>

namespace kelvane::operations {

// Namespace of the operation kinds of a bulk run.
struct ActiveOperation {
    // The raw value is the operation text of a history record.
    enum class Kind { compress, decompress };

    static std::string_view rawValue(Kind kind) { return kind == Kind::compress ? "compress" : "decompress"; }

    // Exact, case-sensitive; any other text is no kind.
    static std::optional<Kind> kindFromRawValue(std::string_view raw)
    {
        if (raw == "compress")
            return Kind::compress;
        if (raw == "decompress")
            return Kind::decompress;
        return std::nullopt;
    }
};

}  // namespace kelvane::operations
