// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <filesystem>
#include <string>
#include <string_view>

namespace kelvane::display {

// How every cell and label shows a file name or a path, so that the name
// cannot pass for another one:
// - control characters are written out: "\n", "\t", "\r", else "\xHH";
// - invisible format characters (bidirectional overrides, embeddings and
//   isolates, zero-width spaces and joiners, the byte-order mark, soft hyphens,
//   line and paragraph separators, invisible fillers) are written as "\uHHHH"
//   (or "\UHHHHHHHH"), so "abc\u202Etxt.exe" never draws as "abcexe.txt";
// - bytes that are not UTF-8 are written as "\xHH";
// - a name with right-to-left letters is wrapped in a first-strong isolate,
//   so it cannot reorder the text around it.
// The result is for the eye only: every operation uses the real name.
// Messages that carry a path or a lower layer's error description escape
// that part with it too, so an alert cannot be misread either; the
// message's own line breaks stay.
QString visibleName(std::string_view bytes);
QString visibleName(const std::string& bytes);
QString visibleName(const std::filesystem::path& path);
// For text already decoded (invalid bytes then show as U+FFFD).
QString visibleName(const QString& text);

}  // namespace kelvane::display
