#pragma once

#include "engine/TypedError.h"

#include <filesystem>
#include <variant>

namespace kelvane::discovery {

// Why a search could not start; the caller words the message.
class FileSystemSearchError : public engine::TypedError {
public:
    struct rootNotFound {
        std::filesystem::path url;
        bool operator==(const rootNotFound&) const = default;
    };
    struct rootNotADirectory {
        std::filesystem::path url;
        bool operator==(const rootNotADirectory&) const = default;
    };
    using Case = std::variant<rootNotFound, rootNotADirectory>;

    FileSystemSearchError(Case value);

    const Case& value() const noexcept { return value_; }
    template <typename C>
    const C* as() const noexcept { return std::get_if<C>(&value_); }

    bool operator==(const FileSystemSearchError& other) const { return value_ == other.value_; }

private:
    Case value_;
};

}  // namespace kelvane::discovery
