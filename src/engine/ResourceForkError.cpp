#include "engine/ResourceForkError.h"

namespace kelvane::engine {
namespace {

struct Describe {
    std::string operator()(const ResourceForkError::dataExceedsMaximum& c) const
    {
        return "dataExceedsMaximum(payloadBytes: " + std::to_string(c.payloadBytes) +
               ", max: " + std::to_string(c.max) + ")";
    }
    std::string operator()(const ResourceForkError::invalidHeader& c) const
    {
        return "invalidHeader(reason: " + quotedText(c.reason) + ")";
    }
    std::string operator()(const ResourceForkError::truncated&) const { return "truncated"; }
};

}  // namespace

ResourceForkError::ResourceForkError(Case value) : TypedError(std::visit(Describe{}, value)), value_(std::move(value)) {}

}  // namespace kelvane::engine
