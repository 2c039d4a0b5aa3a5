#include "engine/DecmpfsInlineError.h"

#include <string>

namespace kelvane::engine {
namespace {

struct Describe {
    std::string operator()(const DecmpfsInlineError::payloadTooLarge& c) const
    {
        return "payloadTooLarge(payloadBytes: " + std::to_string(c.payloadBytes) +
               ", max: " + std::to_string(c.max) + ")";
    }
    std::string operator()(const DecmpfsInlineError::unsupportedCompressionType& c) const
    {
        return "unsupportedCompressionType(" + std::string(caseName(c.type)) + ")";
    }
    std::string operator()(const DecmpfsInlineError::truncatedPayload& c) const
    {
        return "truncatedPayload(needed: " + std::to_string(c.needed) + ", got: " + std::to_string(c.got) + ")";
    }
    std::string operator()(const DecmpfsInlineError::missingUncompressedV2Prefix&) const
    {
        return "missingUncompressedV2Prefix";
    }
};

}  // namespace

DecmpfsInlineError::DecmpfsInlineError(Case value) : TypedError(std::visit(Describe{}, value)), value_(value) {}

}  // namespace kelvane::engine
