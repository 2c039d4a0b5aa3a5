// SPDX-License-Identifier: MIT
#pragma once

#include "engine/Rating.h"

#include <array>
#include <string>
#include <string_view>

namespace kelvane::engine {

// What a file-name extension says about how well a file will compress.
enum class ExtensionCategory {
    text,
    sourceCode,
    binaryExecutable,
    graphicSource,
    compoundCompressed,
    uncompressedMedia,
    uncompressedArchive,
    unknown,
};

inline constexpr std::array<ExtensionCategory, 8> allExtensionCategories{
    ExtensionCategory::text,
    ExtensionCategory::sourceCode,
    ExtensionCategory::binaryExecutable,
    ExtensionCategory::graphicSource,
    ExtensionCategory::compoundCompressed,
    ExtensionCategory::uncompressedMedia,
    ExtensionCategory::uncompressedArchive,
    ExtensionCategory::unknown,
};

// Every leading "." removed, the rest in lower case.
std::string normalizedExtension(std::string_view extension);

// The category of an extension (the part after the last dot of a file name),
// with or without leading dots, in any case; unknown when nothing matches.
ExtensionCategory fileExtensionCategory(std::string_view extension);

std::string_view displayName(ExtensionCategory category);
std::string_view expectedRatioText(ExtensionCategory category);
Rating rating(ExtensionCategory category);
int stars(ExtensionCategory category);

// Five characters: the count (clamped to 0...5) of "★", then "☆".
std::string starBar(int count);

}  // namespace kelvane::engine
