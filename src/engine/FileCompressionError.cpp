#include "engine/FileCompressionError.h"

#include <array>

namespace kelvane::engine {
namespace {

constexpr std::array<std::string_view, 14> caseNames{
    "fileNotFound",
    "notARegularFile",
    "symbolicLink",
    "hardLinked",
    "alreadyCompressed",
    "notCompressed",
    "compressionDidNotReduceSize",
    "fileInUse",
    "roundtripVerificationFailed",
    "fileTooLargeForFormat",
    "hasResourceFork",
    "fileChangedDuringOperation",
    "temporaryFileConflict",
    "ioError",
};
static_assert(caseNames.size() == std::variant_size_v<FileCompressionError::Case>);

std::string payloadText(const auto& c)
{
    using C = std::decay_t<decltype(c)>;
    std::string text = c.url.string();
    if constexpr (std::is_same_v<C, FileCompressionError::hardLinked>)
        text += ", nlink: " + std::to_string(c.nlink);
    else if constexpr (std::is_same_v<C, FileCompressionError::fileTooLargeForFormat>)
        text += ", sizeBytes: " + std::to_string(c.sizeBytes);
    else if constexpr (std::is_same_v<C, FileCompressionError::ioError>)
        text += ", " + quotedText(c.message);
    return text;
}

std::string describe(const FileCompressionError::Case& value)
{
    const std::string_view name = caseNames[value.index()];
    return std::string(name) + "(" + std::visit([](const auto& c) { return payloadText(c); }, value) + ")";
}

}  // namespace

FileCompressionError::FileCompressionError(Case value) : TypedError(describe(value)), value_(std::move(value)) {}

const FileCompressionError::Path& FileCompressionError::url() const noexcept
{
    return std::visit([](const auto& c) -> const Path& { return c.url; }, value_);
}

std::string_view caseName(FileCompressionError::Kind kind)
{
    return caseNames[static_cast<std::size_t>(kind)];
}

}  // namespace kelvane::engine
