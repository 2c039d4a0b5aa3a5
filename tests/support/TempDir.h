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

    // Points HOME, XDG_DATA_HOME, XDG_CONFIG_HOME and XDG_STATE_HOME into this folder for the
    // life of the object (tests that touch the store or settings).
    void useAsHome();

private:
    std::filesystem::path path_;
    std::vector<std::pair<std::string, std::string>> savedEnv_;
    bool envSaved_ = false;
};

// Whole-file helpers that bypass every layer of Kelvane.
std::vector<std::uint8_t> readRawFile(const std::filesystem::path& path);
void writeRawFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

// The test data kept with the sources: LZFSE reference streams (lzfse/vectors)
// and decmpfs samples (decmpfs).
std::filesystem::path testDataDir();
// The corpus of nine larger files (*.bin), made at build time or given from outside.
std::filesystem::path corpusDir();

}  // namespace kelvane::test
