// SPDX-License-Identifier: MIT
#include "engine/DecmpfsInlineError.h"

namespace kelvane::engine {

std::string DecmpfsInlineCases::describe(const payloadTooLarge& c)
{
    return caseText("payloadTooLarge", {labeled("payloadBytes", c.payloadBytes), labeled("max", c.max)});
}

std::string DecmpfsInlineCases::describe(const unsupportedCompressionType& c)
{
    return caseText("unsupportedCompressionType", {std::string(caseName(c.type))});
}

std::string DecmpfsInlineCases::describe(const truncatedPayload& c)
{
    return caseText("truncatedPayload", {labeled("needed", c.needed), labeled("got", c.got)});
}

}  // namespace kelvane::engine
