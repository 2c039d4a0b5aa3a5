// SPDX-License-Identifier: MIT
#include "engine/ExtensionCategory.h"

#include "platform/CaseTexts.h"

#include <algorithm>
#include <initializer_list>
#include <unordered_map>
#include <utility>

namespace kelvane::engine {
namespace {

struct Row {
    ExtensionCategory category;
    std::initializer_list<std::string_view> extensions;
};

const std::unordered_map<std::string_view, ExtensionCategory>& extensionTable()
{
    // Built once per process (thread-safe static initialisation); the lookup
    // runs for every file row on every refresh.
    static const auto table = [] {
        const Row rows[] = {
            {ExtensionCategory::text, {"txt", "md", "json", "xml", "csv", "log", "html", "svg"}},
            {ExtensionCategory::sourceCode, {"swift", "py", "js", "ts", "c", "h", "go", "rs"}},
            {ExtensionCategory::binaryExecutable, {"dylib", "framework", "app"}},
            {ExtensionCategory::graphicSource, {"psd", "ai", "sketch"}},
            {ExtensionCategory::compoundCompressed, {"pdf", "docx", "xlsx", "pptx", "epub"}},
            {ExtensionCategory::uncompressedMedia, {"jpg", "png", "heic", "mp4", "mov", "mp3", "m4a"}},
            {ExtensionCategory::uncompressedArchive, {"zip", "7z", "dmg", "pkg", "gz", "xz", "br"}},
        };
        std::unordered_map<std::string_view, ExtensionCategory> map;
        for (const Row& row : rows) {
            for (std::string_view extension : row.extensions)
                map.emplace(extension, row.category);
        }
        return map;
    }();
    return table;
}

}  // namespace

std::string normalizedExtension(std::string_view extension)
{
    const auto firstKept = extension.find_first_not_of('.');
    std::string out(firstKept == std::string_view::npos ? std::string_view{} : extension.substr(firstKept));
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
    return out;
}

ExtensionCategory fileExtensionCategory(std::string_view extension)
{
    const std::string normalized = normalizedExtension(extension);
    if (normalized.empty())
        return ExtensionCategory::unknown;
    const auto& table = extensionTable();
    const auto found = table.find(normalized);
    return found == table.end() ? ExtensionCategory::unknown : found->second;
}

namespace {

// What each category means for compression, and what the windows say of it.
struct CategoryFacts {
    ExtensionCategory value;
    std::string_view name;
    std::string_view expectedRatio;
    Rating rating;
    int stars;
};
constexpr std::array categoryFacts{
    CategoryFacts{ExtensionCategory::text, "テキスト系", "60〜90% 圧縮されます", Rating::excellent, 5},
    CategoryFacts{ExtensionCategory::sourceCode, "ソースコード", "60〜80% 圧縮されます", Rating::excellent, 5},
    CategoryFacts{ExtensionCategory::binaryExecutable, "実行ファイル / バイナリ", "30〜50% 圧縮されます", Rating::good, 4},
    CategoryFacts{ExtensionCategory::graphicSource, "グラフィック原本", "30〜70% 圧縮の可能性（実測推奨）", Rating::good, 3},
    CategoryFacts{ExtensionCategory::compoundCompressed, "圧縮済みドキュメント", "0〜10% しか縮みません", Rating::marginal, 2},
    CategoryFacts{ExtensionCategory::uncompressedMedia, "圧縮済みメディア", "ほぼ縮みません（既圧縮メディア）", Rating::unsuitable, 1},
    CategoryFacts{ExtensionCategory::uncompressedArchive, "圧縮済みアーカイブ", "ほぼ縮みません（既圧縮アーカイブ）", Rating::unsuitable, 1},
    CategoryFacts{ExtensionCategory::unknown, "不明", "圧縮率は不明", Rating::unknown, 0},
};
static_assert(platform::rowsFollowCases(categoryFacts, allExtensionCategories));

}  // namespace

std::string_view displayName(ExtensionCategory category)
{
    return platform::caseValue(categoryFacts, category, &CategoryFacts::name, "不明");
}

std::string_view expectedRatioText(ExtensionCategory category)
{
    return platform::caseValue(categoryFacts, category, &CategoryFacts::expectedRatio, "圧縮率は不明");
}

Rating rating(ExtensionCategory category)
{
    return platform::caseValue(categoryFacts, category, &CategoryFacts::rating, Rating::unknown);
}

int stars(ExtensionCategory category)
{
    return platform::caseValue(categoryFacts, category, &CategoryFacts::stars, 0);
}

std::string starBar(int count)
{
    const int filled = std::clamp(count, 0, 5);
    std::string bar;
    for (int i = 0; i < 5; ++i)
        bar += i < filled ? "★" : "☆";
    return bar;
}

}  // namespace kelvane::engine
