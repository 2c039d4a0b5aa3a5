// SPDX-License-Identifier: MIT
#include "support/IsolatedHome.h"

#include <cstdlib>
#include <unistd.h>
#include <stdexcept>
#include <string>

namespace kelvane::test {
namespace {

// Made before main() in every test program (this file is linked into each),
// so that nothing a test does, the log included, reaches the real home folder.
class IsolatedHome {
public:
    IsolatedHome()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kelvane-home-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot create the test home folder");
        path_ = pattern;
        const std::pair<const char*, std::filesystem::path> folders[] = {
            {"HOME", path_},
            {"XDG_DATA_HOME", path_ / ".local/share"},
            {"XDG_CONFIG_HOME", path_ / ".config"},
            {"XDG_CACHE_HOME", path_ / ".cache"},
            {"XDG_STATE_HOME", path_ / ".local/state"},
        };
        for (const auto& [name, folder] : folders) {
            std::filesystem::create_directories(folder);
            ::setenv(name, folder.c_str(), 1);
        }
    }
    ~IsolatedHome()
    {
        if (::getpid() != owner_)
            return;  // a forked child that exits normally leaves the folder to its parent
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

    std::filesystem::path path_;
    pid_t owner_ = ::getpid();
};

const IsolatedHome isolatedHome;

}  // namespace

const std::filesystem::path& testProgramHome()
{
    return isolatedHome.path_;
}

}  // namespace kelvane::test
