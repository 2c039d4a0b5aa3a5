// SPDX-License-Identifier: MIT
#pragma once

#include "engine/CompressionType.h"
#include "platform/CaseKind.h"
#include "platform/CaseValue.h"

#include <cstdint>
#include <variant>

namespace kelvane::engine {

// The cases of a file's compression state; each case names its own Kind
// (CaseKind.h).
struct FileCompressionStatusCases {
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
};
static_assert(platform::kindsFollowCases<FileCompressionStatusCases::Case, FileCompressionStatusCases::Kind>(),
              "Kind names the cases in their order");

// A file's compression state as the inspector sees it.
class FileCompressionStatus : public platform::CaseValue<FileCompressionStatusCases> {
public:
    using CaseValue::CaseValue;
    FileCompressionStatus() : CaseValue(uncompressed{}) {}

    Kind kind() const noexcept { return platform::kindOf(value()); }

    bool operator==(const FileCompressionStatus&) const = default;
};

}  // namespace kelvane::engine
