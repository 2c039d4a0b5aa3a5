// SPDX-License-Identifier: MIT
// The shared corpus as the benchmarks read it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace kelvane::bench {

// The corpus files (regular files named *.bin) of `folder`, sorted by name.
inline std::vector<std::filesystem::path> corpusFiles(const std::filesystem::path& folder = KELVANE_CORPUS_DIR)
{
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.is_regular_file() && entry.path().extension() == ".bin")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

inline std::vector<std::uint8_t> readWholeFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace kelvane::bench
