// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <string_view>

namespace kelvane::engine {

// Decompresses a file that has several names without parting them: the
// inode itself gets the decoded bytes, so every name sees them (a swap by
// rename would leave the other names on the compressed inode).
//
// Crash-safe through a redo record. The decoded bytes are first written to
// the file's marked temporary file and flushed; the file then gets the
// record, which names that copy; only then is the inode rewritten from the
// copy, and the record and the copy go last. Whoever finds the record
// finishes the rewrite from the copy before doing anything else with the
// file (finishInPlaceDecompression), so a kill at any step leaves the
// compressed file, or a file whose record and complete copy finish it, or
// the plain file. Times stay as they were: the contents did not change.
//
// Throws FileCompressionError (notCompressed, symbolicLink,
// notARegularFile, fileInUse, roundtripVerificationFailed, ioError).
void decompressInPlace(const std::filesystem::path& url);

// Finishes the in-place decompression of `url` that a killed process left
// (its record is on the file). True when it finished one; false when there
// was none, or another process holds the file (it is at work on it). A
// record whose copy is gone cannot be finished: ioError.
bool finishInPlaceDecompression(const std::filesystem::path& url);

// The attribute that holds the record.
inline constexpr std::string_view redoRecordName = "com.orbwright.kelvane.redo";

}  // namespace kelvane::engine
