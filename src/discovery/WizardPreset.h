// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::discovery {

// A well-known folder of the user's that the space-freeing wizard offers,
// with what to expect of compressing it.
struct WizardPreset {
    enum class Category { build, archive, cache, download, logs };

    // Closed range of percentages.
    struct ReductionRange {
        std::int64_t lowerBound = 0;
        std::int64_t upperBound = 0;
        bool operator==(const ReductionRange&) const = default;
    };

    std::string id;
    std::string title;
    std::string subtitle;
    std::filesystem::path resolvedPath;
    std::string icon;
    Category category = Category::build;
    ReductionRange expectedReductionRange;
    std::optional<std::vector<std::string>> priorityExtensions;
    std::optional<std::int64_t> recommendedMinimumAgeDays;
    std::optional<std::string> volatilityWarning;

    bool operator==(const WizardPreset&) const = default;

    // The nine presets in the wizard's order, built anew from the current
    // home folder and XDG folders on every call.
    static std::vector<WizardPreset> all();

    // The folder for display, with the home folder shown as "~"
    // (platform::homeAbbreviated over discovery::homeFolder()).
    std::string displayPath() const;
};

std::string_view rawValue(WizardPreset::Category category);
std::optional<WizardPreset::Category> wizardCategoryFromRawValue(std::string_view raw);

}  // namespace kelvane::discovery
