// SPDX-License-Identifier: MIT
#pragma once

#include "engine/CompressionType.h"
#include "platform/CaseKind.h"

#include <cstdint>
#include <type_traits>
#include <utility>
#include <variant>

namespace kelvane::engine {

// A file's compression state as the inspector sees it.
class FileCompressionStatus {
public:
    // The cases by name; each case names its own (CaseKind.h).
    enum class Kind { compressed, uncompressed, datalessCloud, incompressible };

    struct compressed {
        static constexpr Kind kind = Kind::compressed;
        CompressionType algorithm = CompressionType::lzfseAttr;
        std::uint64_t uncompressedSize = 0;
        bool operator==(const compressed&) const = default;
    };
    struct uncompressed {
        static constexpr Kind kind = Kind::uncompressed;
        bool operator==(const uncompressed&) const = default;
    };
    struct datalessCloud {
        static constexpr Kind kind = Kind::datalessCloud;
        bool operator==(const datalessCloud&) const = default;
    };
    struct incompressible {
        static constexpr Kind kind = Kind::incompressible;
        bool operator==(const incompressible&) const = default;
    };
    using Case = std::variant<compressed, uncompressed, datalessCloud, incompressible>;
    static_assert(platform::kindsFollowCases<Case, Kind>(), "Kind names the cases in their order");

    FileCompressionStatus() : value_(uncompressed{}) {}
    template <typename C>
        requires std::is_constructible_v<Case, C>
    FileCompressionStatus(C value) : value_(std::move(value)) {}

    const Case& value() const noexcept { return value_; }
    template <typename C>
    const C* as() const noexcept { return std::get_if<C>(&value_); }
    Kind kind() const noexcept { return platform::kindOf(value_); }

    bool operator==(const FileCompressionStatus&) const = default;

private:
    Case value_;
};

}  // namespace kelvane::engine
