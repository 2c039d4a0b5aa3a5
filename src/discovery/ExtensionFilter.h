// SPDX-License-Identifier: MIT
#pragma once

#include <set>
#include <string>
#include <variant>

namespace kelvane::discovery {

// Restricts search matches by lowercased file extension. Members are compared
// as they stand: lowercase, without a leading dot ("jpg"); the empty string
// stands for "no extension".
class ExtensionFilter {
public:
    struct includeOnly {
        std::set<std::string> extensions;
        bool operator==(const includeOnly&) const = default;
    };
    struct exclude {
        std::set<std::string> extensions;
        bool operator==(const exclude&) const = default;
    };
    using Case = std::variant<includeOnly, exclude>;

    ExtensionFilter(Case value) : value_(std::move(value)) {}

    const Case& value() const noexcept { return value_; }

    // `lowercasedExtension` is the candidate's extension, already lowercased.
    bool accepts(const std::string& lowercasedExtension) const;

    bool operator==(const ExtensionFilter&) const = default;

private:
    Case value_;
};

}  // namespace kelvane::discovery
