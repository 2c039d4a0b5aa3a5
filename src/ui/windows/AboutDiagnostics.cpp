#include "ui/windows/AboutDiagnostics.h"

#include "operations/MemoryMonitor.h"
#include "platform/AppSupport.h"
#include "platform/ProcessStart.h"
#include "platform/qt/Settings.h"

#include <QCoreApplication>

#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>

namespace kelvane::ui {

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
    const std::uint64_t bytes = operations::MemoryMonitor::sumKilobyteFields(text, {"VmRSS"}, found);
    return found ? bytes : 0;
}

std::uint64_t allocatedBytes(const fs::path& file)
{
    struct stat st {};
    if (::lstat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    return static_cast<std::uint64_t>(st.st_blocks) * 512;
}

fs::path executablePath()
{
    const fs::path self = platform::executablePath();
    return self.empty() ? fs::path(QCoreApplication::applicationFilePath().toStdString()) : self;
}

}  // namespace

std::uint64_t bundleAllocatedSize(const fs::path& folder)
{
    std::error_code error;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    if (error)
        return 0;
    std::uint64_t total = 0;
    for (const fs::recursive_directory_iterator end; it != end; it.increment(error)) {
        if (error) {
            // An entry that cannot be read is skipped; the walk goes on.
            error.clear();
            continue;
        }
        total += allocatedBytes(it->path());
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

fs::path installedTree()
{
    const fs::path folder = executablePath().parent_path();
    if (folder.filename() == "bin")
        return folder.parent_path() / "share" / "kelvane";
    return folder;
}

std::uint64_t installedSize(const fs::path& tree)
{
    const fs::path executable = executablePath();
    const bool outside = executable.parent_path() != tree;
    return bundleAllocatedSize(tree) + (outside ? allocatedBytes(executable) : 0);
}

AboutDiagnostics AboutDiagnostics::collect(const fs::path& tree)
{
    AboutDiagnostics result;
    result.bundleSizeBytes = installedSize(tree);
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

}  // namespace kelvane::ui
