// SPDX-License-Identifier: MIT
#include "discovery/PathExtension.h"

namespace kelvane::discovery {

std::string_view pathExtension(std::string_view component) {
    while (component.size() > 1 && component.back() == '/') component.remove_suffix(1);
    if (const auto slash = component.rfind('/'); slash != std::string_view::npos && component.size() > 1)
        component.remove_prefix(slash + 1);
    const auto dot = component.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == component.size()) return {};
    return component.substr(dot + 1);
}

std::string lowercasedPathExtension(std::string_view component) {
    std::string out(pathExtension(component));
    for (auto& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

}  // namespace kelvane::discovery
