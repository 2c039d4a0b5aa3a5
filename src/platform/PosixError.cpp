// SPDX-License-Identifier: MIT
#include "platform/PosixError.h"

namespace kelvane::platform {

std::string PosixCases::describe(const callFailed& c)
{
    return c.call + ": " + errorDescription(c.errorNumber);
}

PosixError::PosixError(std::string_view call, int errorNumber) : TypedFailure(callFailed{std::string(call), errorNumber}) {}

std::string errorDescription(int errorNumber)
{
    return "errno=" + std::to_string(errorNumber);
}

}  // namespace kelvane::platform
