// SPDX-License-Identifier: MIT
#include "platform/LogStore.h"

#include "platform/AppSupport.h"
#include "platform/LogFile.h"

#include <cerrno>
#include <fstream>
#include <system_error>
#include <unistd.h>

namespace kelvane::platform {

namespace {

[[noreturn]] void fail(int error, const std::string& what)
{
    throw std::system_error(error, std::generic_category(), what);
}

void readFile(const std::filesystem::path& file, const logfile::ProcessIdentity& process,
              std::int64_t sinceNanoseconds, std::vector<LogEntry>& out)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        if (errno == ENOENT)
            return;  // nothing logged there yet
        fail(errno, "cannot open " + file.string());
    }
    std::string text;
    while (std::getline(in, text)) {
        const auto line = logfile::parse(text);
        if (!line || line->process != process || line->unixNanoseconds < sinceNanoseconds)
            continue;
        LogEntry entry;
        entry.date = std::chrono::system_clock::time_point(
            std::chrono::duration_cast<std::chrono::system_clock::duration>(
                std::chrono::nanoseconds(line->unixNanoseconds)));
        entry.level = line->level;
        entry.subsystem = line->subsystem;
        entry.category = line->category;
        entry.message = line->message;
        out.push_back(std::move(entry));
    }
    if (in.bad())
        fail(EIO, "cannot read " + file.string());
}

}  // namespace

std::filesystem::path LogStore::logFilePath()
{
    return logDirectory() / logfile::kFileName;
}

LogStore LogStore::currentProcess()
{
    const std::filesystem::path file = logFilePath();
    const std::filesystem::path folder = file.parent_path();
    if (::access(folder.c_str(), F_OK) == 0 && ::access(folder.c_str(), R_OK | X_OK) != 0)
        fail(errno, "cannot open the log folder " + folder.string());
    return LogStore(file);
}

std::vector<LogEntry> LogStore::entries(std::chrono::system_clock::time_point since) const
{
    const auto sinceNanoseconds =
        std::chrono::duration_cast<std::chrono::nanoseconds>(since.time_since_epoch()).count();
    const logfile::ProcessIdentity process = logfile::currentProcess();
    std::vector<LogEntry> out;
    readFile(file_.parent_path() / logfile::kPreviousFileName, process, sinceNanoseconds, out);
    readFile(file_, process, sinceNanoseconds, out);
    return out;
}

}  // namespace kelvane::platform
