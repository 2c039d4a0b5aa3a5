// SPDX-License-Identifier: MIT
#pragma once

#include "engine/TypedError.h"

#include <filesystem>

namespace kelvane::engine {

// Failure of one inspection; its text is what rows and records show.
struct FileCompressionInspectionCases {
    using Path = std::filesystem::path;

    struct fileNotFound { Path url; };
    struct decmpfsHeaderInvalid { std::string reason; };
    struct ioError { Path url; std::string message; };
    struct decmpfsHeaderMissingDespiteFlag {
    };
    using Case = std::variant<fileNotFound, decmpfsHeaderInvalid, ioError, decmpfsHeaderMissingDespiteFlag>;

    // The Japanese texts rows and records show.
    static std::string describe(const fileNotFound& c) { return "ファイルが見つかりません: " + c.url.string(); }
    static std::string describe(const decmpfsHeaderInvalid& c) { return "decmpfs ヘッダが不正: " + c.reason; }
    static std::string describe(const ioError& c) { return "I/O エラー: " + c.message + "\nパス: " + c.url.string(); }
    static std::string describe(const decmpfsHeaderMissingDespiteFlag&)
    {
        return "圧縮フラグが立っていますが decmpfs ヘッダが見つかりません。";
    }
};

class FileCompressionInspectionError : public TypedFailure<FileCompressionInspectionCases> {
public:
    using TypedFailure::TypedFailure;

    // The Japanese text under which the failure is stored and shown (what()).
    const std::string& errorDescription() const noexcept { return description(); }
};

}  // namespace kelvane::engine
