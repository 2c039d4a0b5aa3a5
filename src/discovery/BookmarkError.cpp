#include "discovery/BookmarkError.h"

namespace kelvane::discovery {
namespace {

struct Describe {
    std::string operator()(const BookmarkError::creationFailed& c) const {
        return "creationFailed(reason: " + engine::quotedText(c.reason) + ")";
    }
    std::string operator()(const BookmarkError::resolutionFailed& c) const {
        return "resolutionFailed(reason: " + engine::quotedText(c.reason) + ")";
    }
};

}  // namespace

BookmarkError::BookmarkError(Case value) : TypedError(std::visit(Describe{}, value)), value_(std::move(value)) {}

}  // namespace kelvane::discovery
