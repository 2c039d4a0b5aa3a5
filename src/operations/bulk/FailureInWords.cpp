// SPDX-License-Identifier: MIT
#include "operations/bulk/FailureInWords.h"

#include "engine/FileCompressionError.h"
#include "operations/bulk/CompressionErrorClass.h"

#include <array>
#include <charconv>
#include <system_error>

namespace kelvane::operations {

namespace {

struct Activity {
    std::string_view step;  // the failed call as the engine names it, or its first words
    std::string_view words;
};

// Longer steps before the shorter ones they begin with.
constexpr std::array<Activity, 18> activities{{
    {"create kvtmp", "作業用ファイル（.kvtmp）の作成"},
    {"unlink stale kvtmp", "残っていた作業用ファイル（.kvtmp）の削除"},
    {"write kvtmp", "作業用ファイル（.kvtmp）への書き込み"},
    {"close kvtmp", "作業用ファイル（.kvtmp）のディスクへの書き出し"},
    {"fsync kvtmp", "作業用ファイル（.kvtmp）のディスクへの書き出し"},
    {"open rsrc fork", "作業用ファイル（.kvtmp）への圧縮データの書き込み"},
    {"write rsrc fork", "作業用ファイル（.kvtmp）への圧縮データの書き込み"},
    {"lseek rsrc fork", "作業用ファイル（.kvtmp）への圧縮データの書き込み"},
    {"rename", "作業用ファイル（.kvtmp）と元のファイルの入れ替え"},
    {"read source", "ファイルの読み込み"},
    {"read compressed", "圧縮データの読み込み"},
    {"open", "ファイルのオープン"},
    {"flock", "ファイルのロック"},
    {"lstat", "ファイル情報の読み取り"},
    {"getxattr", "拡張属性の読み取り"},
    {"listxattr", "拡張属性の読み取り"},
    {"setxattr", "拡張属性の書き込み"},
    {"chflags", "ファイルフラグの設定"},
}};

std::string_view activityOf(std::string_view step)
{
    for (const Activity& a : activities)
        if (step == a.step || (step.starts_with(a.step) && step.substr(a.step.size()).starts_with(' ')))
            return a.words;
    return step;  // a step without words of its own is named as it is
}

}  // namespace

std::string ioFailureInWords(std::string_view message)
{
    constexpr std::string_view marker = ": errno=";
    const std::size_t at = message.rfind(marker);
    if (at == std::string_view::npos)
        return std::string(message);
    const std::string_view number = message.substr(at + marker.size());
    int errorNumber = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), errorNumber);
    if (error != std::errc() || end != number.data() + number.size())
        return std::string(message);
    const std::string_view step = message.substr(0, at);
    const std::string_view words = activityOf(step);
    return std::string(words) + (words == step ? " " : "") + "に失敗しました: "
           + std::generic_category().message(errorNumber);
}

std::string failureInWords(const std::exception& error)
{
    if (const auto* typed = dynamic_cast<const engine::FileCompressionError*>(&error))
        if (const auto* io = typed->as<engine::FileCompressionError::ioError>())
            return ioFailureInWords(io->message);
    return failureReason(error);
}

}  // namespace kelvane::operations
