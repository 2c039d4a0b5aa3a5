// SPDX-License-Identifier: MIT
#include "discovery/FileSystemSearcher.h"

#include "discovery/CancellationError.h"
#include "discovery/DirectoryWalker.h"
#include "discovery/FileSystemSearchError.h"
#include "discovery/PathExtension.h"
#include "engine/TemporaryFile.h"
#include "platform/DirectoryReader.h"
#include "platform/FileFlags.h"
#include "platform/FileSystem.h"

#include <sys/stat.h>

namespace kelvane::discovery {
namespace {

constexpr std::int64_t kProgressInterval = 100;

// The tests of `matches` that a name alone decides. A file they reject is
// rejected whatever its status says, so it need not be read at all (find does
// the same with -name before -size); on search_bench's tree this spares the
// status of four files in five.
bool rejectedByName(const SearchCriteria& criteria, std::string_view name) {
    if (criteria.excludeHidden && name.starts_with('.')) return true;
    return criteria.extensionFilter && !criteria.extensionFilter->accepts(lowercasedPathExtension(name));
}

std::chrono::system_clock::time_point toTimePoint(const timespec& ts) {
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::seconds(ts.tv_sec) +
                                                                        std::chrono::nanoseconds(ts.tv_nsec)));
}

}  // namespace

FileSystemSearcher::FileSystemSearcher(CompressionChecker compressionChecker)
    : compressionChecker_(compressionChecker ? std::move(compressionChecker) : defaultCompressionChecker) {
    const auto* target = compressionChecker_.target<bool (*)(const std::filesystem::path&)>();
    checkerIsDefault_ = target != nullptr && *target == &defaultCompressionChecker;
}

bool FileSystemSearcher::isHidden(std::string_view name, std::uint32_t flags) {
    return name.starts_with('.') || (flags & platform::UF_HIDDEN) != 0;
}

bool FileSystemSearcher::compressedFlagChecker(const std::filesystem::path& url) {
    platform::FileStat stat;
    return platform::lstat(url, stat) == 0 && (stat.flags & platform::UF_COMPRESSED) != 0;
}

void FileSystemSearcher::validateRoot(const std::filesystem::path& root) {
    switch (DirectoryWalker::checkRoot(root)) {
    case DirectoryWalker::RootState::directory: return;
    case DirectoryWalker::RootState::notFound: throw FileSystemSearchError(FileSystemSearchError::rootNotFound{root});
    case DirectoryWalker::RootState::notADirectory:
        throw FileSystemSearchError(FileSystemSearchError::rootNotADirectory{root});
    }
}

std::optional<FileCandidate> FileSystemSearcher::makeCandidate(const std::string& path, std::string_view name,
                                                               const platform::FileStat& stat) const {
    if (!S_ISREG(stat.mode)) return std::nullopt;
    // Another run's temporary file is none of the user's files.
    if (engine::TemporaryFile::isReplacementOfAnotherFile(path)) return std::nullopt;
    FileCandidate candidate;
    candidate.url = path;
    candidate.size = stat.size > 0 ? static_cast<std::uint64_t>(stat.size) : 0;
    candidate.modificationDate = toTimePoint(stat.mtime);
    candidate.isHidden = isHidden(name, stat.flags);
    candidate.isAlreadyCompressed = compressionChecker_(candidate.url);
    return candidate;
}

FileSystemSearcher::Results FileSystemSearcher::search(const SearchCriteria& criteria,
                                                       const ProgressCallback& progress,
                                                       const MatchCallback& onMatch, std::stop_token stop) const {
    if (stop.stop_requested()) throw CancellationError();
    validateRoot(criteria.rootURL);

    Results results;
    std::int64_t scanned = 0;
    const auto prepare = [&](DirectoryWalker::Entry& entry) {
        if (entry.type != platform::DirectoryEntry::Type::regular) return;
        // Only a checker with effects of its own must see every regular file.
        if (checkerIsDefault_ && rejectedByName(criteria, entry.name())) return;
        // The same for the date: one short call rules most files out by it,
        // and only the rest need their whole status.
        if (checkerIsDefault_ && criteria.modifiedBefore) {
            platform::EntryTimes times;
            if (platform::readEntryTimes(entry.path, times) != 0 || !S_ISREG(times.mode)) return;
            if (toTimePoint(times.mtime) > *criteria.modifiedBefore) return;
        }
        platform::FileStat stat;
        if (platform::lstatAt(entry.directoryFd, entry.name(), entry.path, stat) == 0)
            entry.candidate = makeCandidate(entry.path, entry.name(), stat);
    };
    DirectoryWalker::walk(criteria.rootURL, criteria.recursive, stop, prepare, [&](DirectoryWalker::Entry& entry) {
        ++scanned;
        if (entry.candidate && criteria.matches(*entry.candidate)) {
            // Moved, not copied: visits run one at a time, and copying a path
            // copies each of its components.
            results.push_back(std::move(*entry.candidate));
            if (onMatch) onMatch(results.back());
        }
        if (progress && scanned % kProgressInterval == 0)
            progress(SearchProgress{scanned, static_cast<std::int64_t>(results.size())});
    });
    if (progress) progress(SearchProgress{scanned, static_cast<std::int64_t>(results.size())});
    return results;
}

}  // namespace kelvane::discovery
