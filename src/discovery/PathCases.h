// SPDX-License-Identifier: MIT
#pragma once

#include "platform/TypedFailure.h"

#include <filesystem>
#include <string>

namespace kelvane::discovery {

// The base of cases that carry only the path they are about: each case struct
// names itself (`static constexpr const char* name`) and holds `Path url`,
// and its textual form is "name(\"path\")". The caller words the message.
struct PathCases {
    using Path = std::filesystem::path;

    template <class C>
        requires requires(const C& c) { C::name; c.url; }
    static std::string describe(const C& c)
    {
        return platform::caseText(C::name, {platform::quotedText(c.url.string())});
    }
};

}  // namespace kelvane::discovery
