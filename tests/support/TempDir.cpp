// SPDX-License-Identifier: MIT
#include "support/TempDir.h"

#include "support/KelvanefsMounts.h"

#include <cstdlib>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace kelvane::test {

TempDir::TempDir()
{
    std::random_device rd;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = base / ("kelvane-test-" + std::to_string(rd()) + std::to_string(rd()));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir()
{
    if (envSaved_) {
        for (const auto& [name, value] : savedEnv_) {
            if (value.empty())
                ::unsetenv(name.c_str());
            else
                ::setenv(name.c_str(), value.c_str(), 1);
        }
    }
    // A mount a test's Kelvane made inside must not outlive it.
    unmountKelvanefsBelow(path_);
    std::error_code ec;
    // Files made read-only or immutable by a test must not stop the clean-up.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

void TempDir::useAsHome()
{
    if (!envSaved_) {
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"}) {
            const char* value = std::getenv(name);
            savedEnv_.emplace_back(name, value ? value : "");
        }
        envSaved_ = true;
    }
    std::filesystem::create_directories(path_ / ".local/share");
    std::filesystem::create_directories(path_ / ".config");
    std::filesystem::create_directories(path_ / ".local/state");
    ::setenv("HOME", path_.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (path_ / ".local/share").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (path_ / ".config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (path_ / ".cache").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (path_ / ".local/state").c_str(), 1);
}

std::vector<std::uint8_t> readRawFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeRawFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::filesystem::path testDataDir()
{
    return KELVANE_TEST_VECTORS_DIR;
}

std::filesystem::path corpusDir()
{
    return KELVANE_CORPUS_DIR;
}

bool setImmutable(const std::filesystem::path& path, bool on)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
}

}  // namespace kelvane::test
