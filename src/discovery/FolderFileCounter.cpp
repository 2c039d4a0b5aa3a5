// SPDX-License-Identifier: MIT
#include "discovery/FolderFileCounter.h"

#include "discovery/CancellationError.h"
#include "discovery/DirectoryWalker.h"
#include "discovery/FolderFileCounterError.h"

namespace kelvane::discovery {

std::int64_t FolderFileCounter::countFiles(const std::filesystem::path& folder, bool includeSubfolders,
                                           std::stop_token stop) const {
    if (stop.stop_requested()) throw CancellationError();
    switch (DirectoryWalker::checkRoot(folder)) {
    case DirectoryWalker::RootState::directory: break;
    case DirectoryWalker::RootState::notFound: throw FolderFileCounterError(FolderFileCounterError::notFound{folder});
    case DirectoryWalker::RootState::notADirectory:
        throw FolderFileCounterError(FolderFileCounterError::notADirectory{folder});
    }
    std::int64_t count = 0;
    // The type the folder records is enough: no file is stat'ed here.
    DirectoryWalker::walk(folder, includeSubfolders, stop, {}, [&](const DirectoryWalker::Entry& entry) {
        if (entry.type == platform::DirectoryEntry::Type::regular) ++count;
    });
    return count;
}

}  // namespace kelvane::discovery
