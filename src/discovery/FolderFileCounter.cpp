// SPDX-License-Identifier: MIT
#include "discovery/FolderFileCounter.h"

#include "discovery/CancellationError.h"
#include "discovery/DirectoryWalker.h"
#include "discovery/FileSystemSearcher.h"
#include "discovery/FolderFileCounterError.h"
#include "engine/TemporaryFile.h"
#include "platform/FileSystem.h"

#include <atomic>
#include <sys/stat.h>

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
    // The files a run of the folder would take, as its search sees them:
    // hidden files and another run's temporary files are left out. A dot name
    // is hidden by its name alone; the others need their flags.
    std::atomic<std::int64_t> count = 0;
    const auto prepare = [&](DirectoryWalker::Entry& entry) {
        if (entry.type != platform::DirectoryEntry::Type::regular || entry.name().starts_with('.')) return;
        platform::FileStat stat;
        if (platform::lstatAt(entry.directoryFd, entry.name(), entry.path, stat) != 0 || !S_ISREG(stat.mode)) return;
        if (FileSystemSearcher::isHidden(entry.name(), stat.flags)) return;
        if (engine::TemporaryFile::isReplacementOfAnotherFile(entry.path)) return;
        count.fetch_add(1, std::memory_order_relaxed);
    };
    DirectoryWalker::walk(folder, includeSubfolders, stop, prepare, [](const DirectoryWalker::Entry&) {});
    return count.load();
}

}  // namespace kelvane::discovery
