// SPDX-License-Identifier: MIT
// Built by the tests, never linked: a typed failure whose variant lists its
// cases in another order than its Kind must not compile. Built once with
// KELVANE_KINDS_IN_ORDER (it compiles: the failure is the order's, nothing
// else) and once without (the static_assert of TypedFailure stops it).

#include "platform/TypedFailure.h"

#include <string>
#include <variant>

namespace {

struct SwappedCases {
    enum class Kind { first, second };
    struct first { static constexpr Kind kind = Kind::first; };
    struct second { static constexpr Kind kind = Kind::second; };
#ifdef KELVANE_KINDS_IN_ORDER
    using Case = std::variant<first, second>;
#else
    using Case = std::variant<second, first>;  // reordered here, not in Kind
#endif
    static std::string describe(const first&) { return "first"; }
    static std::string describe(const second&) { return "second"; }
};

class SwappedError : public kelvane::platform::TypedFailure<SwappedCases> {
public:
    using TypedFailure::TypedFailure;
};

}  // namespace

bool firstIsFirst() { return SwappedError(SwappedCases::first{}).kind() == SwappedCases::Kind::first; }
