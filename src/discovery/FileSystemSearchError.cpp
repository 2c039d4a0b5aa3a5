#include "discovery/FileSystemSearchError.h"

namespace kelvane::discovery {
namespace {

struct Describe {
    std::string operator()(const FileSystemSearchError::rootNotFound& c) const {
        return "rootNotFound(" + engine::quotedText(c.url.string()) + ")";
    }
    std::string operator()(const FileSystemSearchError::rootNotADirectory& c) const {
        return "rootNotADirectory(" + engine::quotedText(c.url.string()) + ")";
    }
};

}  // namespace

FileSystemSearchError::FileSystemSearchError(Case value)
    : TypedError(std::visit(Describe{}, value)), value_(std::move(value)) {}

}  // namespace kelvane::discovery
