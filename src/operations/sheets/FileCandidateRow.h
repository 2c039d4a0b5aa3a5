// SPDX-License-Identifier: MIT
#pragma once

#include "discovery/FileCandidate.h"
#include "operations/rows/SortKey.h"

#include <compare>
#include <string>
#include <vector>

namespace kelvane::operations {

// One row of the search results: a found file, known by its path alone.
struct FileCandidateRow {
    enum class Key { name, folderPath, size, modificationDate, stars };

    discovery::FileCandidate candidate;

    const std::filesystem::path& id() const { return candidate.url; }
    std::string name() const;
    std::string folderPath() const;
    std::uint64_t size() const { return candidate.size; }
    std::chrono::system_clock::time_point modificationDate() const { return candidate.modificationDate; }
    int stars() const;

    bool operator==(const FileCandidateRow& other) const { return candidate.url == other.candidate.url; }

    // Plain ordering: names and paths by code point.
    static std::weak_ordering compare(const FileCandidateRow& a, const FileCandidateRow& b, Key key);
};

// Stars 0 to 5 of a file's extension category.
int expectationStars(const std::filesystem::path& url);
// The stars drawn as a bar of five.
std::string expectationBar(int stars);
// The category's name and the ratio it is expected to reach, for a tooltip.
std::string expectationSummary(const std::filesystem::path& url);

}  // namespace kelvane::operations

template <>
struct std::hash<kelvane::operations::FileCandidateRow> {
    std::size_t operator()(const kelvane::operations::FileCandidateRow& row) const noexcept
    {
        return std::hash<std::filesystem::path>()(row.candidate.url);
    }
};
