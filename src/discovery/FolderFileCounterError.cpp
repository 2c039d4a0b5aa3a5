#include "discovery/FolderFileCounterError.h"

namespace kelvane::discovery {
namespace {

struct Describe {
    std::string operator()(const FolderFileCounterError::notFound& c) const {
        return "notFound(" + engine::quotedText(c.url.string()) + ")";
    }
    std::string operator()(const FolderFileCounterError::notADirectory& c) const {
        return "notADirectory(" + engine::quotedText(c.url.string()) + ")";
    }
};

}  // namespace

FolderFileCounterError::FolderFileCounterError(Case value)
    : TypedError(std::visit(Describe{}, value)), value_(std::move(value)) {}

}  // namespace kelvane::discovery
