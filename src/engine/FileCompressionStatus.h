#pragma once

#include "engine/CompressionType.h"

#include <cstdint>
#include <type_traits>
#include <utility>
#include <variant>

namespace kelvane::engine {

// A file's compression state as the inspector sees it.
class FileCompressionStatus {
public:
    struct compressed {
        CompressionType algorithm = CompressionType::lzfseAttr;
        std::uint64_t uncompressedSize = 0;
        bool operator==(const compressed&) const = default;
    };
    struct uncompressed { bool operator==(const uncompressed&) const = default; };
    struct datalessCloud { bool operator==(const datalessCloud&) const = default; };
    struct incompressible { bool operator==(const incompressible&) const = default; };
    using Case = std::variant<compressed, uncompressed, datalessCloud, incompressible>;

    enum class Kind { compressed, uncompressed, datalessCloud, incompressible };

    FileCompressionStatus() : value_(uncompressed{}) {}
    template <typename C>
        requires std::is_constructible_v<Case, C>
    FileCompressionStatus(C value) : value_(std::move(value)) {}

    const Case& value() const noexcept { return value_; }
    template <typename C>
    const C* as() const noexcept { return std::get_if<C>(&value_); }
    Kind kind() const noexcept { return static_cast<Kind>(value_.index()); }

    bool operator==(const FileCompressionStatus&) const = default;

private:
    Case value_;
};

}  // namespace kelvane::engine
