// SPDX-License-Identifier: MIT
#pragma once

#include "platform/TypedFailure.h"

#include <cerrno>
#include <string>
#include <string_view>
#include <variant>

namespace kelvane::platform {

struct PosixCases {
    struct callFailed { std::string call; int errorNumber = 0; };
    using Case = std::variant<callFailed>;

    // "<call>: errno=<n>", the one text of a failed system call.
    static std::string describe(const callFailed& c);
};

// A failed system call, turned into a typed failure where the call is made;
// layers above carry its text into their own failures.
class PosixError : public TypedFailure<PosixCases> {
public:
    using TypedFailure::TypedFailure;
    // Takes errno as it stands unless given the number.
    explicit PosixError(std::string_view call, int errorNumber = errno);

    int errorNumber() const noexcept { return std::get<callFailed>(value()).errorNumber; }
};

// The error number part of that text, "errno=<n>", for texts of the form
// "<step>: errno=<n>".
std::string errorDescription(int errorNumber);

}  // namespace kelvane::platform
