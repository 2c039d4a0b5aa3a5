// SPDX-License-Identifier: MIT
#include "platform/Logger.h"

#include "platform/AppSupport.h"
#include "platform/LogFile.h"

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvane::platform {

namespace {

constexpr std::size_t kMaxMessageBytes = 16 * 1024;

// Appends lines to the log file of the log folder in effect
// at the moment. One write(2) per line on an O_APPEND descriptor keeps lines
// whole even with several processes writing.
class LogSink {
public:
    static LogSink& shared()
    {
        static LogSink* sink = new LogSink();  // never destroyed: loggers outlive statics
        return *sink;
    }

    void append(const std::string& line)
    {
        // Worked out before the lock: workers that log at once wait only for
        // each other's writes.
        const std::filesystem::path folder = logDirectory();
        const std::filesystem::path file = folder / logfile::kFileName;
        std::lock_guard lock(mutex_);
        if (!ensureOpen(folder, file))
            return;  // dropped: logging never fails its caller
        const ssize_t written = ::write(fd_, line.data(), line.size());
        if (written < 0)
            closeFile();
    }

private:
    LogSink()
    {
        // A child forked while another thread writes must not find the lock taken.
        ::pthread_atfork([] { shared().mutex_.lock(); }, [] { shared().mutex_.unlock(); },
                         [] { shared().mutex_.unlock(); });
    }

    bool ensureOpen(const std::filesystem::path& folder, const std::filesystem::path& file)
    {
        if (fd_ >= 0 && file == path_) {
            struct stat st {};
            const bool current = ::fstat(fd_, &st) == 0 && st.st_nlink > 0;
            if (current && static_cast<std::uint64_t>(st.st_size) < logfile::kRotateBytes)
                return true;
            if (current)
                ::rename(file.c_str(), (folder / logfile::kPreviousFileName).c_str());
        }
        closeFile();
        std::error_code error;
        if (ensureLogDirectory(error).empty())
            return false;
        // Earlier builds kept the log in the data folder.
        logfile::moveLegacyLogs(applicationSupportDirectory(), folder);
        fd_ = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0)
            return false;
        path_ = file;
        return true;
    }

    void closeFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
        path_.clear();
    }

    std::mutex mutex_;
    int fd_ = -1;
    std::filesystem::path path_;
};

enum class Privacy { unmarked, publicValue, privateValue };

struct Conversion {
    Privacy privacy = Privacy::unmarked;
    std::string flags;  // flags, width and precision as written
    char type = 0;
    std::size_t end = 0;  // index after the conversion
};

// Parses the conversion starting at format[start] == '%'.
bool parseConversion(std::string_view format, std::size_t start, Conversion& out)
{
    std::size_t i = start + 1;
    if (i < format.size() && format[i] == '{') {
        const std::size_t close = format.find('}', i);
        if (close == std::string_view::npos)
            return false;
        const std::string_view marks = format.substr(i + 1, close - i - 1);
        if (marks.find("private") != std::string_view::npos)
            out.privacy = Privacy::privateValue;
        else if (marks.find("public") != std::string_view::npos)
            out.privacy = Privacy::publicValue;
        i = close + 1;
    }
    const std::size_t flagsStart = i;
    while (i < format.size() && std::string_view("-+ #0123456789.").find(format[i]) != std::string_view::npos)
        ++i;
    out.flags.assign(format.substr(flagsStart, i - flagsStart));
    while (i < format.size() && std::string_view("hlqzjtL").find(format[i]) != std::string_view::npos)
        ++i;  // length modifiers: every argument already has its full width
    if (i >= format.size())
        return false;
    out.type = format[i];
    out.end = i + 1;
    return std::string_view("diouxXfFeEgGaAcsp@").find(out.type) != std::string_view::npos;
}

std::string printfText(const std::string& spec, auto value)
{
    char buffer[512];
    const int length = std::snprintf(buffer, sizeof buffer, spec.c_str(), value);
    if (length < 0)
        return {};
    if (static_cast<std::size_t>(length) < sizeof buffer)
        return std::string(buffer, static_cast<std::size_t>(length));
    std::string big(static_cast<std::size_t>(length) + 1, '\0');
    std::snprintf(big.data(), big.size(), spec.c_str(), value);
    big.resize(static_cast<std::size_t>(length));
    return big;
}

std::string render(const Conversion& conversion, const LogArgument& argument)
{
    const std::string prefix = "%" + conversion.flags;
    return std::visit(
        [&](const auto& value) -> std::string {
            using T = std::decay_t<decltype(value)>;
            switch (conversion.type) {
            case 'd':
            case 'i':
                if constexpr (std::is_arithmetic_v<T>)
                    return printfText(prefix + "lld", static_cast<long long>(value));
                break;
            case 'o':
            case 'u':
            case 'x':
            case 'X':
                if constexpr (std::is_arithmetic_v<T>)
                    return printfText(prefix + "ll" + conversion.type, static_cast<unsigned long long>(value));
                break;
            case 'c':
                if constexpr (std::is_arithmetic_v<T>)
                    return printfText(prefix + "c", static_cast<int>(value));
                break;
            case 's':
            case '@':
            case 'p':
                if constexpr (std::is_same_v<T, std::string>)
                    return printfText(prefix + "s", value.c_str());
                break;
            default:  // floating conversions
                if constexpr (std::is_arithmetic_v<T>)
                    return printfText(prefix + conversion.type, static_cast<double>(value));
                break;
            }
            // The argument's own text when the conversion does not fit it.
            if constexpr (std::is_same_v<T, std::string>)
                return value;
            else
                return std::to_string(value);
        },
        argument.value());
}

}  // namespace

// One logger per category, made on first use.
Logger& Logger::compression() { static Logger logger("compression"); return logger; }
Logger& Logger::data() { static Logger logger("data"); return logger; }
Logger& Logger::ui() { static Logger logger("ui"); return logger; }
Logger& Logger::notifications() { static Logger logger("notifications"); return logger; }
Logger& Logger::cli() { static Logger logger("cli"); return logger; }

const std::string& Logger::subsystem()
{
    static const std::string name = "com.orbwright.kelvane";
    return name;
}

std::string Logger::compose(std::string_view format, std::initializer_list<LogArgument> args)
{
    std::string out;
    out.reserve(format.size() + 32);
    auto next = args.begin();
    for (std::size_t i = 0; i < format.size();) {
        if (format[i] != '%') {
            out.push_back(format[i++]);
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            out.push_back('%');
            i += 2;
            continue;
        }
        Conversion conversion;
        if (!parseConversion(format, i, conversion)) {
            out.push_back(format[i++]);  // not a conversion: keep the text as it stands
            continue;
        }
        i = conversion.end;
        if (next == args.end()) {
            out += "<missing>";
            continue;
        }
        const LogArgument& argument = *next++;
        const bool isText = std::holds_alternative<std::string>(argument.value());
        const bool masked = conversion.privacy == Privacy::privateValue ||
                            (conversion.privacy == Privacy::unmarked && isText);
        out += masked ? std::string("<private>") : render(conversion, argument);
    }
    return out;
}

void Logger::log(LogLevel level, std::string_view format, std::initializer_list<LogArgument> args)
{
    try {
        logfile::Line line;
        line.unixNanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::system_clock::now().time_since_epoch())
                                   .count();
        line.process = logfile::currentProcess();
        line.level = static_cast<int>(level);
        line.subsystem = subsystem();
        line.category = category_;
        line.message = compose(format, args);
        if (line.message.size() > kMaxMessageBytes)
            line.message.resize(kMaxMessageBytes);
        LogSink::shared().append(logfile::format(line));
    } catch (...) {
        // Out of memory while logging: the line is dropped, the caller goes on.
    }
}

}  // namespace kelvane::platform
