#include "engine/DecmpfsHeaderError.h"

#include <string>

namespace kelvane::engine {
namespace {

struct Describe {
    std::string operator()(const DecmpfsHeaderError::insufficientBytes& c) const
    {
        return "insufficientBytes(needed: " + std::to_string(c.needed) + ", got: " + std::to_string(c.got) + ")";
    }
    std::string operator()(const DecmpfsHeaderError::invalidMagic& c) const
    {
        return "invalidMagic(" + std::to_string(c.value) + ")";
    }
    std::string operator()(const DecmpfsHeaderError::unknownCompressionType& c) const
    {
        return "unknownCompressionType(" + std::to_string(c.rawValue) + ")";
    }
};

}  // namespace

DecmpfsHeaderError::DecmpfsHeaderError(Case value)
    : TypedError(std::visit(Describe{}, value)), value_(value)
{
}

}  // namespace kelvane::engine
