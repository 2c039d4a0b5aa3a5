// SPDX-License-Identifier: MIT
#pragma once

#include "operations/rows/SortKey.h"

#include <chrono>
#include <compare>
#include <cstdint>
#include <filesystem>
#include <string>

namespace kelvane::operations {

// One file a wizard scan found.
struct WizardCandidate {
    enum class Key { name, size, stars, mtime, location };

    std::filesystem::path url;
    std::uint64_t size = 0;
    std::chrono::system_clock::time_point mtime;
    int stars = 0;

    bool operator==(const WizardCandidate&) const = default;

    const std::filesystem::path& id() const { return url; }

    std::string name() const { return url.filename().string(); }
    // The containing folder, a leading home folder written "~".
    std::string location() const;

    static std::weak_ordering compare(const WizardCandidate& a, const WizardCandidate& b, Key key);
};

}  // namespace kelvane::operations
