#pragma once

#include "engine/TypedError.h"

#include <filesystem>
#include <string_view>

namespace kelvane::engine {

// The failures of one compress or decompress. Every case carries the file's
// path, or for some ioError texts its temporary file's.
struct FileCompressionCases {
    using Path = std::filesystem::path;

    struct fileNotFound { Path url; };
    struct notARegularFile { Path url; };
    struct symbolicLink { Path url; };
    struct hardLinked { Path url; std::int64_t nlink = 0; };
    struct alreadyCompressed { Path url; };
    struct notCompressed { Path url; };
    struct compressionDidNotReduceSize { Path url; };
    struct fileInUse { Path url; };
    struct roundtripVerificationFailed { Path url; };
    struct fileTooLargeForFormat { Path url; std::int64_t sizeBytes = 0; };
    struct hasResourceFork { Path url; };
    struct fileChangedDuringOperation { Path url; };
    struct temporaryFileConflict { Path url; };
    struct ioError { Path url; std::string message; };

    using Case = std::variant<fileNotFound, notARegularFile, symbolicLink, hardLinked, alreadyCompressed,
                              notCompressed, compressionDidNotReduceSize, fileInUse, roundtripVerificationFailed,
                              fileTooLargeForFormat, hasResourceFork, fileChangedDuringOperation,
                              temporaryFileConflict, ioError>;

    // "caseName(path)", with the count or the quoted message after the path.
    static std::string describe(const Case& value);
};

class FileCompressionError : public TypedFailure<FileCompressionCases> {
public:
    using TypedFailure::TypedFailure;

    // The cases in declaration order, for callers that sort failures.
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
    };

    Kind kind() const noexcept { return static_cast<Kind>(value().index()); }
    const Path& url() const noexcept;
};

std::string_view caseName(FileCompressionError::Kind kind);

}  // namespace kelvane::engine
