#pragma once

#include "engine/TypedError.h"

#include <filesystem>
#include <variant>

namespace kelvane::discovery {

// Why a folder could not be counted; the caller words the message.
class FolderFileCounterError : public engine::TypedError {
public:
    struct notFound {
        std::filesystem::path url;
        bool operator==(const notFound&) const = default;
    };
    struct notADirectory {
        std::filesystem::path url;
        bool operator==(const notADirectory&) const = default;
    };
    using Case = std::variant<notFound, notADirectory>;

    FolderFileCounterError(Case value);

    const Case& value() const noexcept { return value_; }
    template <typename C>
    const C* as() const noexcept { return std::get_if<C>(&value_); }

    bool operator==(const FolderFileCounterError& other) const { return value_ == other.value_; }

private:
    Case value_;
};

}  // namespace kelvane::discovery
