// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace kelvane::operations {

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
    // `programFiles` are the files the program's size is measured over.
    static AboutDiagnostics collect(const std::vector<std::filesystem::path>& programFiles);
};

// Bytes allocated on disk by those of `files` that are regular files (links,
// folders and missing files add nothing; a file named twice counts once).
std::uint64_t allocatedSize(const std::vector<std::filesystem::path>& files);

// Logical size of "store.sqlite" and its "-wal" and "-shm" files in the
// application-support folder; missing files add nothing.
std::uint64_t databaseStoreSize();

// The files Kelvane consists of. Installed, the executable is <prefix>/bin/kelvane
// and <prefix>/share/kelvane/installed-files names every installed file (relative
// to the prefix): those files and the list itself. Anywhere else (a build folder)
// the executable alone, which carries its resources built in.
std::vector<std::filesystem::path> programFiles(const std::filesystem::path& executable);
// The same for the running executable.
std::vector<std::filesystem::path> programFiles();

}  // namespace kelvane::operations
