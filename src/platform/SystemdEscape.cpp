// SPDX-License-Identifier: MIT
#include "platform/SystemdEscape.h"

namespace kelvane::platform {

std::string systemdEscapedPath(const std::filesystem::path& path)
{
    std::string text = path.lexically_normal().native();
    while (!text.empty() && text.front() == '/')
        text.erase(text.begin());
    while (!text.empty() && text.back() == '/')
        text.pop_back();
    if (text.empty())
        return "-";
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' ||
                           c == '_' || (c == '.' && i != 0);
        if (c == '/')
            out.push_back('-');
        else if (plain)
            out.push_back(static_cast<char>(c));
        else
            out += std::string("\\x") + digits[c >> 4] + digits[c & 15];
    }
    return out;
}

std::string kelvanefsUnitName(const std::filesystem::path& folder)
{
    return "kelvanefs@" + systemdEscapedPath(folder) + ".service";
}

}  // namespace kelvane::platform
