// SPDX-License-Identifier: MIT
#include "platform/ProcessStart.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace kelvane::platform {

namespace {

std::optional<std::string> readText(const char* path)
{
    std::ifstream in(path);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <class T>
std::optional<T> leadingNumber(std::string_view text)
{
    T value{};
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr == text.data())
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<unsigned long long> startTicksFromStat(std::string_view statLine)
{
    // The name ends at the last ")"; field 3 follows it, so the start time
    // (field 22) is the 20th field after the name.
    const std::size_t close = statLine.rfind(')');
    if (close == std::string_view::npos)
        return std::nullopt;
    std::string_view rest = statLine.substr(close + 1);
    for (int field = 3; field <= 22; ++field) {
        while (!rest.empty() && rest.front() == ' ')
            rest.remove_prefix(1);
        if (rest.empty())
            return std::nullopt;
        if (field == 22)
            return leadingNumber<unsigned long long>(rest);
        const std::size_t space = rest.find(' ');
        if (space == std::string_view::npos)
            return std::nullopt;
        rest.remove_prefix(space);
    }
    return std::nullopt;
}

std::optional<long long> bootTimeFromProcStat(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.starts_with("btime ")) {
            line.remove_prefix(6);
            while (!line.empty() && line.front() == ' ')
                line.remove_prefix(1);
            return leadingNumber<long long>(line);
        }
    }
    return std::nullopt;
}

std::optional<std::chrono::system_clock::time_point> processStartTime()
{
    const auto stat = readText("/proc/self/stat");
    const auto procStat = readText("/proc/stat");
    if (!stat || !procStat)
        return std::nullopt;
    const auto ticks = startTicksFromStat(*stat);
    const auto boot = bootTimeFromProcStat(*procStat);
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    if (!ticks || !boot || ticksPerSecond <= 0)
        return std::nullopt;
    const auto sinceBoot = std::chrono::microseconds(static_cast<long long>(*ticks * 1'000'000ULL / ticksPerSecond));
    return std::chrono::system_clock::time_point(std::chrono::seconds(*boot)) + sinceBoot;
}

std::filesystem::path executablePath()
{
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self;
}

void raiseDescriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

}  // namespace kelvane::platform
