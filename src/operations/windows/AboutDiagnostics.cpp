// SPDX-License-Identifier: MIT
#include "operations/windows/AboutDiagnostics.h"

#include "operations/bulk/MemoryMonitor.h"
#include "platform/AppSupport.h"
#include "platform/ProcessStart.h"
#include "platform/qt/Settings.h"

#include <QCoreApplication>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <sys/stat.h>

namespace kelvane::operations {

namespace fs = std::filesystem;
namespace keys = platform::settings_keys;

namespace {

std::uint64_t residentMemory()
{
    std::ifstream in("/proc/self/status");
    if (!in)
        return 0;
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    bool found = false;
    const std::uint64_t bytes = MemoryMonitor::sumKilobyteFields(text, {"VmRSS"}, found);
    return found ? bytes : 0;
}

fs::path executablePath()
{
    const fs::path self = platform::executablePath();
    return self.empty() ? fs::path(QCoreApplication::applicationFilePath().toStdString()) : self;
}

}  // namespace

std::uint64_t allocatedSize(const std::vector<fs::path>& files)
{
    std::set<std::pair<dev_t, ino_t>> seen;
    std::uint64_t total = 0;
    for (const fs::path& file : files) {
        struct stat st {};
        if (::lstat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !seen.insert({st.st_dev, st.st_ino}).second)
            continue;
        total += static_cast<std::uint64_t>(st.st_blocks) * 512;
    }
    return total;
}

std::uint64_t databaseStoreSize()
{
    const fs::path folder = platform::applicationSupportDirectory();
    std::uint64_t total = 0;
    for (const char* name : {"store.sqlite", "store.sqlite-wal", "store.sqlite-shm"}) {
        std::error_code error;
        const auto size = fs::file_size(folder / name, error);
        if (!error)
            total += size;
    }
    return total;
}

std::vector<fs::path> programFiles(const fs::path& executable)
{
    const fs::path folder = executable.parent_path();
    const fs::path list = folder.parent_path() / "share" / "kelvane" / "installed-files";
    std::ifstream in(list);
    if (folder.filename() != "bin" || !in)
        return {executable};
    std::vector<fs::path> files{executable, list};
    for (std::string line; std::getline(in, line);) {
        const fs::path relative(line);
        // Only names inside the prefix: the list is data, not a way out of it.
        if (line.empty() || relative.is_absolute() ||
            std::any_of(relative.begin(), relative.end(), [](const fs::path& part) { return part == ".."; }))
            continue;
        files.push_back(folder.parent_path() / relative);
    }
    return files;
}

std::vector<fs::path> programFiles() { return programFiles(executablePath()); }

AboutDiagnostics AboutDiagnostics::collect(const std::vector<fs::path>& files)
{
    AboutDiagnostics result;
    result.bundleSizeBytes = allocatedSize(files);
    result.dbSizeBytes = databaseStoreSize();
    result.residentMemoryBytes = residentMemory();
    const fs::path support = platform::applicationSupportDirectory();
    if (!support.empty())
        result.applicationSupportDir = QString::fromStdString(support.string());
    const platform::Settings settings;
    result.launchCount = settings.value(keys::launchCount);
    result.firstLaunchAt = settings.value(keys::firstLaunchAt);
    result.previousLaunchAt = settings.value(keys::previousLaunchAt);
    if (const auto started = platform::processStartTime())
        result.processStartedAt = QDateTime::fromMSecsSinceEpoch(
            std::chrono::duration_cast<std::chrono::milliseconds>(started->time_since_epoch()).count());
    else
        result.processStartedAt = QDateTime::currentDateTime();
    return result;
}

}  // namespace kelvane::operations
