// SPDX-License-Identifier: MIT
#include "operations/sheets/FileCandidateRow.h"

#include "discovery/PathExtension.h"
#include "engine/ExtensionCategory.h"

namespace kelvane::operations {

std::string FileCandidateRow::name() const
{
    return candidate.url.filename().string();
}

std::string FileCandidateRow::folderPath() const
{
    return candidate.url.parent_path().string();
}

int FileCandidateRow::stars() const
{
    return expectationStars(candidate.url);
}

std::weak_ordering FileCandidateRow::compare(const FileCandidateRow& a, const FileCandidateRow& b, Key key)
{
    switch (key) {
    case Key::name:
        return a.name() <=> b.name();
    case Key::folderPath:
        return a.folderPath() <=> b.folderPath();
    case Key::size:
        return a.size() <=> b.size();
    case Key::modificationDate:
        return a.modificationDate() <=> b.modificationDate();
    case Key::stars:
        return a.stars() <=> b.stars();
    }
    return std::weak_ordering::equivalent;
}

namespace {

engine::ExtensionCategory categoryOf(const std::filesystem::path& url)
{
    return engine::fileExtensionCategory(discovery::pathExtension(url.filename().string()));
}

}  // namespace

int expectationStars(const std::filesystem::path& url)
{
    return engine::stars(categoryOf(url));
}

std::string expectationBar(int stars)
{
    return engine::starBar(stars);
}

std::string expectationSummary(const std::filesystem::path& url)
{
    const engine::ExtensionCategory category = categoryOf(url);
    return std::string(engine::displayName(category)) + " — " + std::string(engine::expectedRatioText(category));
}

}  // namespace kelvane::operations
