// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string_view>

namespace kelvane::bench {

// The benches take folders and words as plain arguments. One that begins
// with '-' asks for help or is a mistake, never a folder to fill with
// generated files (`operations_bench --help` once left 900 MB in a folder
// named so), and a word outside `words` would quietly run every part.
// Prints the usage when the caller should stop, and the exit status to stop
// with: 0 for -h or --help, 2 for anything else amiss.
inline bool stopsForUsage(int argc, char** argv, const char* usage, int wordAt,
                          std::initializer_list<std::string_view> words, int& status)
{
    bool help = false, wrong = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help")
            help = true;
        else if (arg.starts_with('-'))
            wrong = true;
    }
    if (!help && !wrong && wordAt > 0 && wordAt < argc)
        wrong = std::find(words.begin(), words.end(), std::string_view(argv[wordAt])) == words.end();
    if (!help && !wrong)
        return false;
    std::fprintf(help ? stdout : stderr, "usage: %s\n", usage);
    status = help ? 0 : 2;
    return true;
}

}  // namespace kelvane::bench
