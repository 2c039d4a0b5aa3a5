// SPDX-License-Identifier: MIT
#include "discovery/RegistrationDecision.h"

namespace kelvane::discovery {
namespace {

struct Describe {
    std::string operator()(const RegistrationDecision::willRegister& c) const {
        return "willRegister(url: " + c.url.string() + ", kind: " + std::string(rawValue(c.kind)) +
               ", includeSubfolders: " + (c.includeSubfolders ? "true" : "false") + ")";
    }
    std::string operator()(const RegistrationDecision::skipDuplicate& c) const {
        return "skipDuplicate(canonical: " + c.canonical.string() + ")";
    }
    std::string operator()(const RegistrationDecision::skipChildOfRegistered& c) const {
        return "skipChildOfRegistered(parent: " + c.parent.string() + ")";
    }
};

}  // namespace

std::string RegistrationDecision::description() const {
    return std::visit(Describe{}, value());
}

}  // namespace kelvane::discovery
