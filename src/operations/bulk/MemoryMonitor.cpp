// SPDX-License-Identifier: MIT
#include "operations/bulk/MemoryMonitor.h"

#include <charconv>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <unistd.h>

namespace kelvane::operations {

namespace {

bool readText(const char* path, std::string& out)
{
    std::ifstream in(path);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

std::uint64_t probe(const char* path, std::initializer_list<std::string_view> names)
{
    std::string text;
    if (!readText(path, text))
        return 0;
    bool found = false;
    const std::uint64_t bytes = MemoryMonitor::sumKilobyteFields(text, names, found);
    return found ? bytes : 0;
}

}  // namespace

std::uint64_t MemoryMonitor::sumKilobyteFields(std::string_view text, std::initializer_list<std::string_view> names,
                                               bool& found)
{
    found = false;
    std::uint64_t total = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string_view key = line.substr(0, colon);
        bool wanted = false;
        for (std::string_view name : names)
            wanted = wanted || key == name;
        if (!wanted)
            continue;
        std::string_view rest = line.substr(colon + 1);
        while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
            rest.remove_prefix(1);
        std::uint64_t kilobytes = 0;
        const auto [ptr, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), kilobytes);
        if (ec != std::errc() || ptr == rest.data())
            continue;
        total += kilobytes * 1024;
        found = true;
    }
    return total;
}

std::uint64_t MemoryMonitor::currentFootprintBytes()
{
    return probe("/proc/self/status", {"RssAnon", "VmSwap"});
}

std::uint64_t MemoryMonitor::availableMemoryBytes()
{
    return probe("/proc/meminfo", {"MemAvailable"});
}

std::uint64_t MemoryMonitor::physicalMemoryBytes()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

}  // namespace kelvane::operations
