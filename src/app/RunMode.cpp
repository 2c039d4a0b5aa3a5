#include "app/RunMode.h"

#include <algorithm>
#include <fstream>
#include <iterator>

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

RunMode RunMode::current()
{
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string raw{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::string> arguments;
    std::string::size_type start = 0;
    while (start < raw.size()) {
        auto end = raw.find('\0', start);
        if (end == std::string::npos)
            end = raw.size();
        arguments.push_back(raw.substr(start, end - start));
        start = end + 1;
    }
    return parse(arguments);
}

}  // namespace kelvane::app
