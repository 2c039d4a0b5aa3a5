// SPDX-License-Identifier: MIT
#include "platform/LogFile.h"

#include "platform/UniqueFd.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <fstream>
#include <atomic>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace kelvane::platform::logfile {

namespace {

bool appendWhole(const std::filesystem::path& source, const std::filesystem::path& target)
{
    const UniqueFd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    const UniqueFd out(::open(target.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600));
    if (!in || !out)
        return false;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(in.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out.get(), buffer + done, static_cast<std::size_t>(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0)
                return false;
            done += put;
        }
    }
    return ::fsync(out.get()) == 0;
}

std::uint64_t readStartTicks()
{
    std::ifstream in("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command name may hold spaces and parentheses: count from the last ')'.
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(close + 1));
    std::string field;
    for (int index = 3; fields >> field; ++index) {
        if (index == 22)
            return std::strtoull(field.c_str(), nullptr, 10);
    }
    return 0;
}

void appendEscaped(std::string& out, std::string_view text)
{
    for (const char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out.push_back(c);
        }
    }
}

std::string unescape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out.push_back(text[i]);
            continue;
        }
        switch (text[++i]) {
        case 't': out.push_back('\t'); break;
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        default: out.push_back(text[i]);
        }
    }
    return out;
}

template <class T>
bool number(std::string_view text, T& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

ProcessIdentity currentProcess()
{
    // No lock: a child forked while another thread held one could never log.
    static std::atomic<std::int64_t> cachedPid{0};
    static std::atomic<std::uint64_t> cachedStart{0};
    const std::int64_t pid = ::getpid();
    if (cachedPid.load(std::memory_order_acquire) == pid)
        return {pid, cachedStart.load(std::memory_order_relaxed)};
    const std::uint64_t start = readStartTicks();
    cachedStart.store(start, std::memory_order_relaxed);
    cachedPid.store(pid, std::memory_order_release);
    return {pid, start};
}

std::string format(const Line& line)
{
    std::string out = std::to_string(line.unixNanoseconds);
    out += '\t';
    out += std::to_string(line.process.pid);
    out += '\t';
    out += std::to_string(line.process.startTicks);
    out += '\t';
    out += std::to_string(line.level);
    out += '\t';
    appendEscaped(out, line.subsystem);
    out += '\t';
    appendEscaped(out, line.category);
    out += '\t';
    appendEscaped(out, line.message);
    out += '\n';
    return out;
}

std::optional<Line> parse(std::string_view text)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (fields.size() < 6) {
        const std::size_t tab = text.find('\t', start);
        if (tab == std::string_view::npos)
            return std::nullopt;
        fields.push_back(text.substr(start, tab - start));
        start = tab + 1;
    }
    fields.push_back(text.substr(start));

    Line line;
    if (!number(fields[0], line.unixNanoseconds) || !number(fields[1], line.process.pid) ||
        !number(fields[2], line.process.startTicks) || !number(fields[3], line.level))
        return std::nullopt;
    line.subsystem = unescape(fields[4]);
    line.category = unescape(fields[5]);
    line.message = unescape(fields[6]);
    return line;
}

void moveLegacyLogs(const std::filesystem::path& from, const std::filesystem::path& to)
{
    if (from == to)
        return;
    // The older file first, so that a plain rename keeps the pair in order.
    for (const char* name : {kPreviousFileName, kFileName}) {
        const std::filesystem::path source = from / name;
        const std::filesystem::path target = to / name;
        struct stat st {};
        if (::lstat(source.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        // Never over a file another process has begun meanwhile.
        if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
            continue;
        if (appendWhole(source, target))
            ::unlink(source.c_str());
    }
}

}  // namespace kelvane::platform::logfile
