// SPDX-License-Identifier: MIT
#include "store/CompressionLog.h"

namespace kelvane::store {

CompressionLog::CompressionLog(Uuid id, Date executedAt, std::string operation, std::string targetPath,
                               std::int64_t sizeBefore, std::int64_t sizeAfter, std::string algorithm,
                               std::int64_t durationMs, bool success, std::optional<std::string> errorMessage)
    : id_(id),
      executedAt_(executedAt),
      operation_(std::move(operation)),
      targetPath_(std::move(targetPath)),
      sizeBefore_(sizeBefore),
      sizeAfter_(sizeAfter),
      algorithm_(std::move(algorithm)),
      durationMs_(durationMs),
      success_(success),
      errorMessage_(std::move(errorMessage)) {}

}  // namespace kelvane::store
