// SPDX-License-Identifier: MIT
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvane::store {

// A schema version identifier, "major.minor.patch".
struct SchemaVersion {
    int majorNumber = 0;
    int minorNumber = 0;
    int patchNumber = 0;

    // Strict: three decimal numbers (0...99) separated by dots.
    static std::optional<SchemaVersion> parse(std::string_view text);
    std::string toString() const;
    // The number kept in the file header (PRAGMA user_version): 2.0.0 is 20000.
    std::int32_t headerNumber() const { return majorNumber * 10000 + minorNumber * 100 + patchNumber; }
    // The version a header number stands for; the inverse of headerNumber.
    static SchemaVersion fromHeaderNumber(std::uint32_t number) {
        return {static_cast<int>(number / 10000), static_cast<int>(number / 100 % 100), static_cast<int>(number % 100)};
    }

    friend auto operator<=>(const SchemaVersion&, const SchemaVersion&) = default;
};

}  // namespace kelvane::store
