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
    if constexpr (std::is_same_v<C, FileCompressionError::hardLinked>)
        return labeled("nlink", c.nlink);
    else if constexpr (std::is_same_v<C, FileCompressionError::fileTooLargeForFormat>)
        return labeled("sizeBytes", c.sizeBytes);
    else if constexpr (std::is_same_v<C, FileCompressionError::ioError>)
        return quotedText(c.message);
    else
        return {};
}

}  // namespace

std::string FileCompressionCases::describe(const Case& value)
{
    const std::string url = std::visit([](const auto& c) { return c.url.string(); }, value);
    const std::string payload = std::visit([](const auto& c) { return payloadText(c); }, value);
    const std::string_view name = caseNames[value.index()];
    return payload.empty() ? caseText(name, {url}) : caseText(name, {url, payload});
}

const FileCompressionError::Path& FileCompressionError::url() const noexcept
{
    return std::visit([](const auto& c) -> const Path& { return c.url; }, value());
}

std::string_view caseName(FileCompressionError::Kind kind)
{
    return caseNames[static_cast<std::size_t>(kind)];
}

}  // namespace kelvane::engine
