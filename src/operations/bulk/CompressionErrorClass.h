// SPDX-License-Identifier: MIT
#pragma once

#include "operations/bulk/ActiveOperation.h"

#include <exception>
#include <string>

namespace kelvane::operations {

// How a bulk run counts a file the compressor refused.
enum class CompressionErrorClass { skip, incompressible, failure };

// Any error that is not a FileCompressionError is a failure.
CompressionErrorClass classifyCompressionError(ActiveOperation::Kind kind, const std::exception& error);

// The text shown and stored for a failed file: a fixed text per case of
// FileCompressionError (ioError gives its own text), else the error's description.
std::string failureReason(const std::exception& error);

}  // namespace kelvane::operations
