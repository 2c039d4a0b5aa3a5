// SPDX-License-Identifier: MIT
#include "discovery/RegistrationService.h"

#include "discovery/CanonicalText.h"
#include "discovery/StandardizedPath.h"

namespace kelvane::discovery {
namespace {

// Both texts are decomposed, so e + "/" ends on a whole character and a plain
// prefix test is the canonical one. A registered "/" covers every other path.
bool isBelow(const std::string& c, const std::string& e) {
    if (e == "/") return c != "/";
    return c.size() > e.size() && c.starts_with(e) && c[e.size()] == '/';
}

}  // namespace

std::string RegistrationService::normalizedPath(const std::filesystem::path& url) {
    return discovery::normalizedPath(url);
}

RegistrationDecision RegistrationService::decide(const std::filesystem::path& url, ItemKind kind,
                                                 bool includeSubfolders,
                                                 std::span<const ExistingRegistration> existing) const {
    const auto requested = standardizedPath(url);
    const auto c = CanonicalText::decomposed(requested.string());
    for (const auto& item : existing) {
        const auto registered = standardizedPath(item.url);
        const auto e = CanonicalText::decomposed(registered.string());
        if (c == e) return RegistrationDecision::skipDuplicate{registered};
        if (item.kind == ItemKind::folder && isBelow(c, e))
            return RegistrationDecision::skipChildOfRegistered{registered};
    }
    return RegistrationDecision::willRegister{requested, kind, includeSubfolders};
}

}  // namespace kelvane::discovery
