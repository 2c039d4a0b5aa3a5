#pragma once

#include "engine/TypedError.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <variant>

namespace kelvane::engine {

struct FileCompressionCases {
    using Path = std::filesystem::path;

    struct fileNotFound { Path url; bool operator==(const fileNotFound&) const = default; };
    struct notARegularFile { Path url; bool operator==(const notARegularFile&) const = default; };
    struct symbolicLink { Path url; bool operator==(const symbolicLink&) const = default; };
    struct hardLinked {
        Path url;
        std::int64_t nlink = 0;
        bool operator==(const hardLinked&) const = default;
    };
    struct alreadyCompressed { Path url; bool operator==(const alreadyCompressed&) const = default; };
    struct notCompressed { Path url; bool operator==(const notCompressed&) const = default; };
    struct compressionDidNotReduceSize {
        Path url;
        bool operator==(const compressionDidNotReduceSize&) const = default;
    };
    struct fileInUse { Path url; bool operator==(const fileInUse&) const = default; };
    struct roundtripVerificationFailed {
        Path url;
        bool operator==(const roundtripVerificationFailed&) const = default;
    };
    struct fileTooLargeForFormat {
        Path url;
        std::int64_t sizeBytes = 0;
        bool operator==(const fileTooLargeForFormat&) const = default;
    };
    struct hasResourceFork { Path url; bool operator==(const hasResourceFork&) const = default; };
    struct fileChangedDuringOperation {
        Path url;
        bool operator==(const fileChangedDuringOperation&) const = default;
    };
    struct temporaryFileConflict { Path url; bool operator==(const temporaryFileConflict&) const = default; };
    struct ioError {
        Path url;
        std::string message;
        bool operator==(const ioError&) const = default;
    };

    using Case = std::variant<fileNotFound, notARegularFile, symbolicLink, hardLinked, alreadyCompressed,
                              notCompressed, compressionDidNotReduceSize, fileInUse, roundtripVerificationFailed,
                              fileTooLargeForFormat, hasResourceFork, fileChangedDuringOperation,
                              temporaryFileConflict, ioError>;

    // "caseName(path)", with the count or the quoted message after the path.
    static std::string describe(const Case& value);
};

// The failures of one compress or decompress. Every case carries the file's
// path, or for some ioError texts its temporary file's.
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
