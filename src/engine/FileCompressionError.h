// SPDX-License-Identifier: MIT
#pragma once

#include "engine/TypedError.h"

#include <filesystem>
#include <string_view>

namespace kelvane::engine {

// The failures of one compress or decompress. Every case carries the file's
// path, or for some ioError texts its temporary file's.
struct FileCompressionCases {
    using Path = std::filesystem::path;

    // The cases by name, for callers that sort failures; each case names its
    // own (CaseKind.h), and TypedFailure checks that the lists agree.
    enum class Kind {
        fileNotFound,
        notARegularFile,
        symbolicLink,
        hardLinked,
        alreadyCompressed,
        notCompressed,
        compressionDidNotReduceSize,
        fileInUse,
        roundtripVerificationFailed,
        fileTooLargeForFormat,
        hasResourceFork,
        fileChangedDuringOperation,
        temporaryFileConflict,
        ioError,
        notServedByMount,
    };

    struct fileNotFound { static constexpr Kind kind = Kind::fileNotFound; Path url; };
    struct notARegularFile { static constexpr Kind kind = Kind::notARegularFile; Path url; };
    struct symbolicLink { static constexpr Kind kind = Kind::symbolicLink; Path url; };
    struct hardLinked { static constexpr Kind kind = Kind::hardLinked; Path url; std::int64_t nlink = 0; };
    struct alreadyCompressed { static constexpr Kind kind = Kind::alreadyCompressed; Path url; };
    struct notCompressed { static constexpr Kind kind = Kind::notCompressed; Path url; };
    struct compressionDidNotReduceSize { static constexpr Kind kind = Kind::compressionDidNotReduceSize; Path url; };
    struct fileInUse { static constexpr Kind kind = Kind::fileInUse; Path url; };
    struct roundtripVerificationFailed { static constexpr Kind kind = Kind::roundtripVerificationFailed; Path url; };
    struct fileTooLargeForFormat {
        static constexpr Kind kind = Kind::fileTooLargeForFormat;
        Path url;
        std::int64_t sizeBytes = 0;
    };
    struct hasResourceFork { static constexpr Kind kind = Kind::hasResourceFork; Path url; };
    struct fileChangedDuringOperation { static constexpr Kind kind = Kind::fileChangedDuringOperation; Path url; };
    struct temporaryFileConflict { static constexpr Kind kind = Kind::temporaryFileConflict; Path url; };
    struct ioError { static constexpr Kind kind = Kind::ioError; Path url; std::string message; };
    // Compressing is refused where no live kelvanefs mount serves the file:
    // every other program would read the stored records instead of the
    // original. `reason` says why, in words for the user.
    struct notServedByMount { static constexpr Kind kind = Kind::notServedByMount; Path url; std::string reason; };

    using Case = std::variant<fileNotFound, notARegularFile, symbolicLink, hardLinked, alreadyCompressed,
                              notCompressed, compressionDidNotReduceSize, fileInUse, roundtripVerificationFailed,
                              fileTooLargeForFormat, hasResourceFork, fileChangedDuringOperation,
                              temporaryFileConflict, ioError, notServedByMount>;

    // "caseName(path)", with the count or the quoted message after the path.
    static std::string describe(const Case& value);
};

class FileCompressionError : public TypedFailure<FileCompressionCases> {
public:
    using TypedFailure::TypedFailure;

    const Path& url() const noexcept;
};

std::string_view caseName(FileCompressionError::Kind kind);

}  // namespace kelvane::engine
