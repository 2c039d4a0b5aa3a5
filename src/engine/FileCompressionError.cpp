// SPDX-License-Identifier: MIT
#include "engine/FileCompressionError.h"

#include <array>
#include <cstddef>

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
    // In the order of Kind, which follows the cases (CaseKind.h).
    static constexpr auto names = std::to_array<std::string_view>({
        "fileNotFound", "notARegularFile", "symbolicLink", "hardLinked", "alreadyCompressed", "notCompressed",
        "compressionDidNotReduceSize", "fileInUse", "roundtripVerificationFailed", "fileTooLargeForFormat",
        "hasResourceFork", "fileChangedDuringOperation", "temporaryFileConflict", "ioError", "notServedByMount",
    });
    static_assert(names.size() == std::variant_size_v<FileCompressionError::Case>, "a name for every case");
    const auto index = static_cast<std::size_t>(kind);
    return index < names.size() ? names[index] : "?";
}

}  // namespace kelvane::engine
