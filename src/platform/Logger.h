// SPDX-License-Identifier: MIT
#pragma once

#include "platform/LogLevel.h"

#include <concepts>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

namespace kelvane::platform {

// One argument of a log line, converted once at the call.
class LogArgument {
public:
    template <std::signed_integral T>
    LogArgument(T v) : value_(static_cast<std::int64_t>(v)) {}
    template <std::unsigned_integral T>
        requires(!std::same_as<T, bool>)
    LogArgument(T v) : value_(static_cast<std::uint64_t>(v)) {}
    LogArgument(bool v) : value_(std::string(v ? "true" : "false")) {}
    template <std::floating_point T>
    LogArgument(T v) : value_(static_cast<double>(v)) {}
    LogArgument(std::string_view v) : value_(std::string(v)) {}
    LogArgument(const std::string& v) : value_(v) {}
    LogArgument(const char* v) : value_(std::string(v ? v : "(null)")) {}
    LogArgument(const std::filesystem::path& v) : value_(v.string()) {}

    using Value = std::variant<std::int64_t, std::uint64_t, double, std::string>;
    const Value& value() const { return value_; }

private:
    Value value_;
};

// A logger of the subsystem "com.orbwright.kelvane" with one category. The five
// shared instances are created once, on first use, and may be used from any
// thread. Writing a line never fails and never waits on anything but another
// line being appended: a line that cannot be written is dropped.
//
// Lines go to "kelvane.log" in the log folder (logDirectory, AppSupport.h),
// looked up at each line. Format strings follow the platform's logger:
// %d %i %u %x %ld %lld %zu %f %.2f %s %@ %%, with "{public}" or "{private}"
// after the "%" (e.g. "%{private}s"). A private argument is stored as
// "<private>"; without a mark, numbers are public and texts private.
class Logger {
public:
    static Logger& compression();
    static Logger& data();
    static Logger& ui();
    static Logger& notifications();
    static Logger& cli();

    static const std::string& subsystem();
    const std::string& category() const { return category_; }

    void log(LogLevel level, std::string_view format, std::initializer_list<LogArgument> args = {});

    template <class... Args>
    void debug(std::string_view format, const Args&... args) { log(LogLevel::debug, format, {LogArgument(args)...}); }
    template <class... Args>
    void info(std::string_view format, const Args&... args) { log(LogLevel::info, format, {LogArgument(args)...}); }
    // The default level.
    template <class... Args>
    void notice(std::string_view format, const Args&... args) { log(LogLevel::notice, format, {LogArgument(args)...}); }
    template <class... Args>
    void error(std::string_view format, const Args&... args) { log(LogLevel::error, format, {LogArgument(args)...}); }
    template <class... Args>
    void fault(std::string_view format, const Args&... args) { log(LogLevel::fault, format, {LogArgument(args)...}); }

    // The message a format and its arguments make, private ones masked.
    static std::string compose(std::string_view format, std::initializer_list<LogArgument> args);

    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

private:
    explicit Logger(std::string category) : category_(std::move(category)) {}
    std::string category_;
};

}  // namespace kelvane::platform
