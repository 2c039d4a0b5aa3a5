// SPDX-License-Identifier: MIT
#include "platform/TypedFailure.h"

namespace kelvane::platform {

std::string quotedText(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('"');
    for (char c : text) {
        if (c == '"' || c == '\\')
            out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

std::string caseText(std::string_view name, std::initializer_list<std::string> parts)
{
    std::string text(name);
    if (parts.size() == 0)
        return text;
    const char* separator = "(";
    for (const std::string& part : parts) {
        text += separator;
        text += part;
        separator = ", ";
    }
    return text + ")";
}

std::string labeled(std::string_view label, long long value)
{
    return std::string(label) + ": " + std::to_string(value);
}

std::string labeled(std::string_view label, const std::string& text)
{
    return std::string(label) + ": " + quotedText(text);
}

}  // namespace kelvane::platform
