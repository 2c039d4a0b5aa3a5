// SPDX-License-Identifier: MIT
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace kelvane::operations {

// Why a file failed, for a person reading one line that already names the
// file: the failure's fixed text, or for an ioError what Kelvane was doing
// and the system's message for the error ("作業用ファイル（.kvtmp）と元の
// ファイルの入れ替えに失敗しました: Operation not permitted") instead of
// "rename: errno=1". Never holds the file's path.
std::string failureInWords(const std::exception& error);

// An ioError's message in words: "<step>: errno=<n>" becomes the step's
// activity and the error's message; any other message is already words.
std::string ioFailureInWords(std::string_view message);

}  // namespace kelvane::operations
