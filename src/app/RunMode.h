// SPDX-License-Identifier: MIT
#pragma once

#include <string>
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

    // Takes the full argument vector, program path first. Whole arguments are
    // matched case-sensitively in any position; help beats version beats the
    // headless run, and anything unrecognised is ignored.
    static RunMode parse(const std::vector<std::string>& arguments);
    static RunMode parse(int argc, const char* const* argv);

private:
    Value value_;
};

}  // namespace kelvane::app
