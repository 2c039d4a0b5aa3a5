#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <optional>

namespace kelvane::ui {

// Figures about the installed program, its store and this process, taken
// in one go off the main thread. Never fails: each figure falls back on its
// own (0, none, or the time of collection for the process start).
struct AboutDiagnostics {
    std::uint64_t bundleSizeBytes = 0;
    std::uint64_t dbSizeBytes = 0;
    std::uint64_t residentMemoryBytes = 0;
    std::int64_t launchCount = 0;
    std::optional<QDateTime> firstLaunchAt;
    std::optional<QDateTime> previousLaunchAt;
    QDateTime processStartedAt;
    std::optional<QString> applicationSupportDir;

    // Reads the file system, /proc and the settings file; blocking.
    static AboutDiagnostics collect(const std::filesystem::path& installedTree);
};

// Bytes allocated on disk by the regular files below `folder`, hidden ones
// included; links and folders add nothing, unreadable entries are skipped.
std::uint64_t bundleAllocatedSize(const std::filesystem::path& folder);

// Logical size of "store.sqlite" and its "-wal" and "-shm" files in the
// application-support folder; missing files add nothing.
std::uint64_t databaseStoreSize();

// The folder whose files make up the installed program: the executable's
// folder, or, for an executable in a shared "bin" folder, <prefix>/share/kelvane
// (the executable itself is added by installedSize).
std::filesystem::path installedTree();
std::uint64_t installedSize(const std::filesystem::path& tree);

}  // namespace kelvane::ui
