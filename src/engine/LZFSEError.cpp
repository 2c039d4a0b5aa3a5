#include "engine/LZFSEError.h"

#include <string>

namespace kelvane::engine {
namespace {

struct Describe {
    std::string operator()(const LZFSEError::decodeFailed& c) const
    {
        return "decodeFailed(expectedBytes: " + std::to_string(c.expectedBytes) +
               ", gotBytes: " + std::to_string(c.gotBytes) + ")";
    }
    std::string operator()(const LZFSEError::encodeFailed&) const { return "encodeFailed"; }
};

}  // namespace

LZFSEError::LZFSEError(Case value) : TypedError(std::visit(Describe{}, value)), value_(value) {}

}  // namespace kelvane::engine
