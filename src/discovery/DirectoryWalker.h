#pragma once

#include "platform/DirectoryReader.h"
#include "platform/FileStat.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace kelvane::discovery {

// The one walk behind the file-system search and the folder counter: depth
// first, each folder's entries before its next sibling, in the order the file
// system lists them. Symbolic links are never followed (only a link given as
// the root is); packages are neither visited nor entered unless
// PackageTraversalPolicy allows them; a folder that cannot be read is visited
// as an entry but yields nothing, and the walk goes on.
class DirectoryWalker {
public:
    enum class RootState { directory, notFound, notADirectory };

    struct Entry {
        const std::string& path;  // root as given, then "/" + names
        std::string_view name;
        platform::DirectoryEntry::Type type;
        // Filled in when the walk had to lstat the entry to learn its type.
        const platform::FileStat* stat;
    };
    using Visitor = std::function<void(const Entry&)>;

    // What is at the root, following a symbolic link there.
    static RootState checkRoot(const std::filesystem::path& root);

    // Visits every entry below `root` (the root itself is not an entry), and
    // with `recursive` false only its direct entries. Checks `stop` before
    // every entry and throws CancellationError once it is requested. The root
    // must have passed checkRoot.
    static void walk(const std::filesystem::path& root, bool recursive, const std::stop_token& stop,
                     const Visitor& visit);
};

}  // namespace kelvane::discovery
