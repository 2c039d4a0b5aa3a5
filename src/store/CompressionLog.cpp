// SPDX-License-Identifier: MIT
#include "store/CompressionLog.h"

namespace kelvane::store {

CompressionLog::CompressionLog(Uuid id, Date executedAt, std::string operation, std::string targetPath,
                               std::int64_t sizeBefore, std::int64_t sizeAfter, std::string algorithm,
                               std::int64_t durationMs, bool success, std::optional<std::string> errorMessage)
    : CompressionLog(id, {executedAt, std::move(operation), std::move(targetPath), sizeBefore, sizeAfter,
                          std::move(algorithm), durationMs, success, std::move(errorMessage)})
{
}

CompressionLog::CompressionLog(Uuid id, CompressionLogValues values) : Values(std::move(values)), id_(id) {}

void CompressionLog::setId(Uuid value) { set(Attributes::id.member, value); }
void CompressionLog::setExecutedAt(Date value) { set(Attributes::executedAt.member, value); }
void CompressionLog::setOperation(std::string value) { set(Attributes::operation.member, std::move(value)); }
void CompressionLog::setTargetPath(std::string value) { set(Attributes::targetPath.member, std::move(value)); }
void CompressionLog::setSizeBefore(std::int64_t value) { set(Attributes::sizeBefore.member, value); }
void CompressionLog::setSizeAfter(std::int64_t value) { set(Attributes::sizeAfter.member, value); }
void CompressionLog::setAlgorithm(std::string value) { set(Attributes::algorithm.member, std::move(value)); }
void CompressionLog::setDurationMs(std::int64_t value) { set(Attributes::durationMs.member, value); }
void CompressionLog::setSuccess(bool value) { set(Attributes::success.member, value); }
void CompressionLog::setErrorMessage(std::optional<std::string> value)
{
    set(Attributes::errorMessage.member, std::move(value));
}

}  // namespace kelvane::store
