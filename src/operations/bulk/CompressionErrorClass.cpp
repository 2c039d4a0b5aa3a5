// SPDX-License-Identifier: MIT
#include "operations/bulk/CompressionErrorClass.h"

#include "engine/FileCompressionError.h"

#include <array>
#include <string_view>

namespace kelvane::operations {

namespace {

using engine::FileCompressionError;
using C = CompressionErrorClass;

struct Row {
    C compressing;
    C decompressing;
    std::string_view text;
};

// In the order of FileCompressionError's cases.
constexpr std::array<Row, 15> table{{
    {C::failure, C::failure, "見つかりません"},
    {C::skip, C::skip, "通常ファイルでない"},
    {C::skip, C::skip, "シンボリックリンク（実体ではないため対象外）"},
    {C::skip, C::skip, "ハードリンク（他の場所と共有されているため対象外）"},
    {C::skip, C::failure, "すでに圧縮済み"},
    {C::failure, C::skip, "圧縮されていません"},
    {C::incompressible, C::failure, "縮みません"},
    {C::skip, C::skip, "他のアプリが使用中のため変更しませんでした。閉じてから再試行してください"},
    {C::failure, C::failure,
     "圧縮・解除後の検証で内容が一致しなかったため、安全のため元のまま残しました。再試行してください"},
    {C::skip, C::failure, "2 GB 超（macOS の透過圧縮はファイルあたり 2 GB まで）"},
    {C::incompressible, C::failure,
     "リソースフォーク（カスタムアイコン等の付加データ）があるため、壊さないよう圧縮しません"},
    {C::skip, C::skip, "処理中に他のアプリがこのファイルを変更したため中止しました。あとで再試行してください"},
    {C::failure, C::failure,
     "作業用ファイル（.kvtmp）が既に存在するため中止しました。心当たりがなければ削除して再試行してください"},
    {C::failure, C::failure, ""},
    {C::failure, C::failure, "他のアプリが元のデータを読めなくなるため、圧縮しませんでした"},
}};
static_assert(table.size() == std::variant_size_v<FileCompressionError::Case>);

}  // namespace

CompressionErrorClass classifyCompressionError(ActiveOperation::Kind kind, const std::exception& error)
{
    const auto* typed = dynamic_cast<const FileCompressionError*>(&error);
    if (!typed)
        return C::failure;
    const Row& row = table[static_cast<std::size_t>(typed->kind())];
    return kind == ActiveOperation::Kind::compress ? row.compressing : row.decompressing;
}

std::string failureReason(const std::exception& error)
{
    const auto* typed = dynamic_cast<const FileCompressionError*>(&error);
    if (!typed)
        return error.what();
    if (const auto* io = typed->as<FileCompressionError::ioError>())
        return io->message;
    if (const auto* unserved = typed->as<FileCompressionError::notServedByMount>())
        return std::string(table[static_cast<std::size_t>(typed->kind())].text) + "（" + unserved->reason + "）";
    return std::string(table[static_cast<std::size_t>(typed->kind())].text);
}

}  // namespace kelvane::operations
