// SPDX-License-Identifier: MIT
#include "engine/DecmpfsHeaderError.h"

namespace kelvane::engine {

std::string DecmpfsHeaderCases::describe(const insufficientBytes& c)
{
    return caseText("insufficientBytes", {labeled("needed", c.needed), labeled("got", c.got)});
}

std::string DecmpfsHeaderCases::describe(const invalidMagic& c)
{
    return caseText("invalidMagic", {std::to_string(c.value)});
}

std::string DecmpfsHeaderCases::describe(const unknownCompressionType& c)
{
    return caseText("unknownCompressionType", {std::to_string(c.rawValue)});
}

}  // namespace kelvane::engine
