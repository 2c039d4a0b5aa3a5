// SPDX-License-Identifier: MIT
#pragma once

// Header-only: the folder the search sheet's tests look through, with its
// model alone and in its window: files of 3 to 50 KB, one in a subfolder and
// one hidden there, so that sizes, depth and hiding each change what is found.

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>

namespace kelvane::test {

inline std::filesystem::path writeSearchFolder(const std::filesystem::path& root)
{
    const auto write = [&](const char* name, std::size_t size) {
        std::filesystem::create_directories((root / name).parent_path());
        std::ofstream(root / name, std::ios::binary) << std::string(size, 'a');
    };
    write("notes.txt", 3000);
    write("sub/data.json", 9000);
    write("sub/.hidden.txt", 20000);
    write("image.png", 50000);
    return root;
}

}  // namespace kelvane::test
