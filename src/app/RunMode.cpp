// SPDX-License-Identifier: MIT
#include "app/RunMode.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace kelvane::app {

namespace {

constexpr std::array<RunMode::Option, 5> optionTable{{
    {"--help", RunMode::help},
    {"-h", RunMode::help},
    {"--version", RunMode::version},
    {"-V", RunMode::version},
    {"--auto-recompress", RunMode::headlessAutoRecompress},
}};

bool isOption(const std::string& argument)
{
    return std::any_of(optionTable.begin(), optionTable.end(),
                       [&](const RunMode::Option& option) { return argument == option.name; });
}

// Edits (insert, delete, replace, swap two neighbours) between two texts.
std::size_t editDistance(std::string_view a, std::string_view b)
{
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t replace = d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, replace});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

std::string lowered(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

std::span<const RunMode::Option> RunMode::options() { return optionTable; }

RunMode RunMode::parse(const std::vector<std::string>& arguments)
{
    const auto first = arguments.empty() ? arguments.end() : arguments.begin() + 1;
    for (const Option& option : optionTable)
        if (std::find(first, arguments.end(), option.name) != arguments.end())
            return option.mode;
    return gui;
}

RunMode RunMode::parse(int argc, const char* const* argv) { return parse(argumentList(argc, argv)); }

std::vector<std::string> RunMode::unrecognised(const std::vector<std::string>& arguments)
{
    std::vector<std::string> out;
    if (arguments.size() > 1)
        std::copy_if(arguments.begin() + 1, arguments.end(), std::back_inserter(out),
                     [](const std::string& argument) { return !isOption(argument); });
    return out;
}

std::optional<std::string_view> RunMode::likelyMeant(std::string_view argument)
{
    if (!argument.starts_with('-'))
        return std::nullopt;
    std::optional<std::string_view> best;
    std::size_t bestDistance = 3;
    for (const Option& option : optionTable) {
        if (!option.name.starts_with("--"))
            continue;  // one letter is too short to tell a typo from another option
        const std::size_t distance = editDistance(lowered(argument), option.name);
        if (distance < bestDistance) {
            best = option.name;
            bestDistance = distance;
        }
    }
    return best;
}

std::vector<std::string> argumentList(int argc, const char* const* argv)
{
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i)
        arguments.emplace_back(argv[i] ? argv[i] : "");
    return arguments;
}

}  // namespace kelvane::app
