// SPDX-License-Identifier: MIT
#pragma once

#include "engine/FileCompressionInfo.h"
#include "operations/rows/RowId.h"

#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <variant>

namespace kelvane::operations {

// The last known state of one table row's file (FileStatusCache::Entry).
class FileStatusEntry {
public:
    struct loaded {
        engine::FileCompressionInfo info;
        bool operator==(const loaded&) const = default;
    };
    struct error {
        std::string text;
        bool operator==(const error&) const = default;
    };
    struct notInspected { bool operator==(const notInspected&) const = default; };
    struct notFound { bool operator==(const notFound&) const = default; };
    using Case = std::variant<loaded, error, notInspected, notFound>;

    FileStatusEntry() : value_(notInspected{}) {}
    template <typename C>
        requires std::is_constructible_v<Case, C>
    FileStatusEntry(C value) : value_(std::move(value)) {}

    const Case& value() const noexcept { return value_; }
    template <typename C>
    const C* as() const noexcept { return std::get_if<C>(&value_); }

    // The inspection result when the entry is `loaded`.
    const engine::FileCompressionInfo* info() const noexcept
    {
        const auto* l = as<loaded>();
        return l ? &l->info : nullptr;
    }

    bool operator==(const FileStatusEntry&) const = default;

private:
    Case value_;
};

// The entries of the status cache, by row.
using FileStatusEntries = std::unordered_map<RowId, FileStatusEntry>;

}  // namespace kelvane::operations
