// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::app {

// What the process does, decided from the command line before any Qt object
// exists, so that --help and --version never need a display.
class RunMode {
public:
    enum Value { gui, headlessAutoRecompress, help, version };

    constexpr RunMode(Value value = gui) : value_(value) {}
    constexpr operator Value() const { return value_; }

    constexpr bool isGui() const { return value_ == gui; }

    // An argument the program knows and the mode it asks for.
    struct Option {
        std::string_view name;
        Value mode;
    };
    // Every option, strongest first: help beats version beats the headless run.
    static std::span<const Option> options();

    // Takes the full argument vector, program path first. Whole arguments are
    // matched case-sensitively in any position; anything unrecognised is
    // ignored here (see unrecognised).
    static RunMode parse(const std::vector<std::string>& arguments);
    static RunMode parse(int argc, const char* const* argv);

    // The arguments after the program path that are none of the options, in
    // their order, so that a mistyped option is named instead of silently
    // starting the window.
    static std::vector<std::string> unrecognised(const std::vector<std::string>& arguments);

    // The option an unrecognised argument was most likely meant to be: one of
    // the long options within two edits of it, letter case aside.
    static std::optional<std::string_view> likelyMeant(std::string_view argument);

private:
    Value value_;
};

// argv as strings, a null entry read as empty.
std::vector<std::string> argumentList(int argc, const char* const* argv);

}  // namespace kelvane::app
