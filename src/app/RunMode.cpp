// SPDX-License-Identifier: MIT
#include "app/RunMode.h"

#include <algorithm>

namespace kelvane::app {

RunMode RunMode::parse(const std::vector<std::string>& arguments)
{
    const auto first = arguments.empty() ? arguments.end() : arguments.begin() + 1;
    const auto given = [&](std::initializer_list<const char*> names) {
        return std::any_of(first, arguments.end(), [&](const std::string& argument) {
            return std::any_of(names.begin(), names.end(),
                               [&](const char* name) { return argument == name; });
        });
    };
    if (given({"--help", "-h"}))
        return help;
    if (given({"--version", "-V"}))
        return version;
    if (given({"--auto-recompress"}))
        return headlessAutoRecompress;
    return gui;
}

RunMode RunMode::parse(int argc, const char* const* argv)
{
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i)
        arguments.emplace_back(argv[i] ? argv[i] : "");
    return parse(arguments);
}

}  // namespace kelvane::app
