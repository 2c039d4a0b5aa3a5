// SPDX-License-Identifier: MIT
#include "discovery/StandardizedPath.h"

#include <string_view>
#include <vector>

namespace kelvane::discovery {

std::filesystem::path standardizedPath(const std::filesystem::path& path) {
    std::string text = path.string();
    if (text.empty() || text.front() != '/') {
        std::error_code ec;
        const auto cwd = std::filesystem::current_path(ec);
        text = (ec ? std::string("/") : cwd.string()) + "/" + text;
    }
    std::vector<std::string_view> parts;
    std::string_view rest(text);
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        const auto part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    if (parts.empty()) return std::filesystem::path("/");
    std::string out;
    for (auto part : parts) {
        out += '/';
        out += part;
    }
    return std::filesystem::path(out);
}

std::string normalizedPath(const std::filesystem::path& path) {
    // Already without a trailing "/": only "/" itself ends in one.
    return standardizedPath(path).string();
}

}  // namespace kelvane::discovery
