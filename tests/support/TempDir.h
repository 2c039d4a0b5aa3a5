// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kelvane::test {

// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes away. Every test that touches files makes its own.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

    // Points HOME and the XDG data, config, cache and state folders into this
    // folder for the life of the object (tests that touch the store, settings
    // or the user's folders).
    void useAsHome();

private:
    std::filesystem::path path_;
    std::vector<std::pair<std::string, std::string>> savedEnv_;
    bool envSaved_ = false;
};

// Whole-file helpers that bypass every layer of Kelvane.
std::vector<std::uint8_t> readRawFile(const std::filesystem::path& path);
void writeRawFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

// Sets or clears the file's immutable flag, which stops writes by root too
// (mode bits do not). False where the file system or the caller cannot.
bool setImmutable(const std::filesystem::path& path, bool on);

// The test data kept with the sources: LZFSE reference streams (lzfse/vectors)
// and decmpfs samples (decmpfs).
std::filesystem::path testDataDir();
// The corpus of nine larger files (*.bin), made at build time or given from outside.
std::filesystem::path corpusDir();

}  // namespace kelvane::test
