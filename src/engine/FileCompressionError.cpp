// SPDX-License-Identifier: MIT
#include "engine/FileCompressionError.h"

namespace kelvane::engine {
namespace {

std::string payloadText(const auto& c)
{
    using C = std::decay_t<decltype(c)>;
    if constexpr (std::is_same_v<C, FileCompressionError::hardLinked>)
        return labeled("nlink", c.nlink);
    else if constexpr (std::is_same_v<C, FileCompressionError::fileTooLargeForFormat>)
        return labeled("sizeBytes", c.sizeBytes);
    else if constexpr (std::is_same_v<C, FileCompressionError::ioError>)
        return quotedText(c.message);
    else if constexpr (std::is_same_v<C, FileCompressionError::notServedByMount>)
        return quotedText(c.reason);
    else
        return {};
}

}  // namespace

std::string FileCompressionCases::describe(const Case& value)
{
    const std::string url = std::visit([](const auto& c) { return c.url.string(); }, value);
    const std::string payload = std::visit([](const auto& c) { return payloadText(c); }, value);
    const std::string_view name = caseName(platform::kindOf(value));
    return payload.empty() ? caseText(name, {url}) : caseText(name, {url, payload});
}

const FileCompressionError::Path& FileCompressionError::url() const noexcept
{
    return std::visit([](const auto& c) -> const Path& { return c.url; }, value());
}

std::string_view caseName(FileCompressionError::Kind kind)
{
    using Kind = FileCompressionError::Kind;
    switch (kind) {
    case Kind::fileNotFound: return "fileNotFound";
    case Kind::notARegularFile: return "notARegularFile";
    case Kind::symbolicLink: return "symbolicLink";
    case Kind::hardLinked: return "hardLinked";
    case Kind::alreadyCompressed: return "alreadyCompressed";
    case Kind::notCompressed: return "notCompressed";
    case Kind::compressionDidNotReduceSize: return "compressionDidNotReduceSize";
    case Kind::fileInUse: return "fileInUse";
    case Kind::roundtripVerificationFailed: return "roundtripVerificationFailed";
    case Kind::fileTooLargeForFormat: return "fileTooLargeForFormat";
    case Kind::hasResourceFork: return "hasResourceFork";
    case Kind::fileChangedDuringOperation: return "fileChangedDuringOperation";
    case Kind::temporaryFileConflict: return "temporaryFileConflict";
    case Kind::ioError: return "ioError";
    case Kind::notServedByMount: return "notServedByMount";
    }
    return "?";
}

}  // namespace kelvane::engine
