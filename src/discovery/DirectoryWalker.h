// SPDX-License-Identifier: MIT
#pragma once

#include "discovery/FileCandidate.h"
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
// as an entry but yields nothing, and the walk goes on. An entry whose path
// reaches the host's path limit is visited as unreadable: type unknown, no
// `prepare`, one log line.
//
// Folders are read, and their entries prepared, by a few helper threads
// running ahead of the visit in the same depth-first order; the visits
// themselves happen one at a time, in order, on the calling thread.
class DirectoryWalker {
public:
    enum class RootState { directory, notFound, notADirectory };

    struct Entry {
        std::string path;  // root as given, then "/" + names
        std::size_t nameOffset = 0;
        platform::DirectoryEntry::Type type = platform::DirectoryEntry::Type::unknown;
        std::optional<FileCandidate> candidate;  // what `prepare` made of it, if anything
        // The folder holding the entry, open while `prepare` runs (else -1):
        // ask about the entry by name there (platform::lstatAt).
        int directoryFd = -1;

        std::string_view name() const { return std::string_view(path).substr(nameOffset); }
    };
    // Runs on a helper thread, once per visited entry, before its visit;
    // must be safe to run on several entries at once.
    using Prepare = std::function<void(Entry&)>;
    // May take what it keeps out of the entry: the walk is done with it.
    using Visit = std::function<void(Entry&)>;

    // What is at the root, following a symbolic link there.
    static RootState checkRoot(const std::filesystem::path& root);

    // Visits every entry below `root` (the root itself is not an entry), and
    // with `recursive` false only its direct entries. Checks `stop` before
    // every visit and throws CancellationError once it is requested; helper
    // threads have ended when walk returns or throws. The root must have
    // passed checkRoot.
    static void walk(const std::filesystem::path& root, bool recursive, const std::stop_token& stop,
                     const Prepare& prepare, const Visit& visit);
};

}  // namespace kelvane::discovery
