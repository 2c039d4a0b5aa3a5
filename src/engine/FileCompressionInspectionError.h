#pragma once

#include "engine/TypedError.h"

#include <filesystem>
#include <string>
#include <variant>

namespace kelvane::engine {

// Failure of one inspection; its text is what rows and records show.
class FileCompressionInspectionError : public TypedError {
public:
    using Path = std::filesystem::path;

    struct fileNotFound { Path url; bool operator==(const fileNotFound&) const = default; };
    struct decmpfsHeaderInvalid {
        std::string reason;
        bool operator==(const decmpfsHeaderInvalid&) const = default;
    };
    struct ioError {
        Path url;
        std::string message;
        bool operator==(const ioError&) const = default;
    };
    struct decmpfsHeaderMissingDespiteFlag {
        bool operator==(const decmpfsHeaderMissingDespiteFlag&) const = default;
    };
    using Case = std::variant<fileNotFound, decmpfsHeaderInvalid, ioError, decmpfsHeaderMissingDespiteFlag>;

    FileCompressionInspectionError(Case value);

    const Case& value() const noexcept { return value_; }
    template <typename C>
    const C* as() const noexcept { return std::get_if<C>(&value_); }

    // The Japanese text under which the failure is stored and shown (what()).
    const std::string& errorDescription() const noexcept { return description(); }

    bool operator==(const FileCompressionInspectionError& other) const { return value_ == other.value_; }

private:
    Case value_;
};

}  // namespace kelvane::engine
