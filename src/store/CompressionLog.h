// SPDX-License-Identifier: MIT
#pragma once

#include "store/StoredEntity.h"

#include <optional>
#include <string>

namespace kelvane::store {

// One history record: one file processed by one compress or decompress run.
// Records with equal fields are still distinct records.
class CompressionLog final : public StoredEntity<CompressionLog> {
public:
    static constexpr std::string_view entityName = "CompressionLog";

    // Pass Uuid::random() as id for a new record.
    CompressionLog(Uuid id, Date executedAt, std::string operation, std::string targetPath,
                   std::int64_t sizeBefore, std::int64_t sizeAfter, std::string algorithm,
                   std::int64_t durationMs, bool success,
                   std::optional<std::string> errorMessage = std::nullopt);

    const Uuid& id() const { return id_; }
    Date executedAt() const { return executedAt_; }
    const std::string& operation() const { return operation_; }
    const std::string& targetPath() const { return targetPath_; }
    std::int64_t sizeBefore() const { return sizeBefore_; }
    std::int64_t sizeAfter() const { return sizeAfter_; }
    const std::string& algorithm() const { return algorithm_; }
    std::int64_t durationMs() const { return durationMs_; }
    bool success() const { return success_; }
    const std::optional<std::string>& errorMessage() const { return errorMessage_; }

    void setId(Uuid value) { set(&CompressionLog::id_, value); }
    void setExecutedAt(Date value) { set(&CompressionLog::executedAt_, value); }
    void setOperation(std::string value) { set(&CompressionLog::operation_, std::move(value)); }
    void setTargetPath(std::string value) { set(&CompressionLog::targetPath_, std::move(value)); }
    void setSizeBefore(std::int64_t value) { set(&CompressionLog::sizeBefore_, value); }
    void setSizeAfter(std::int64_t value) { set(&CompressionLog::sizeAfter_, value); }
    void setAlgorithm(std::string value) { set(&CompressionLog::algorithm_, std::move(value)); }
    void setDurationMs(std::int64_t value) { set(&CompressionLog::durationMs_, value); }
    void setSuccess(bool value) { set(&CompressionLog::success_, value); }
    void setErrorMessage(std::optional<std::string> value) { set(&CompressionLog::errorMessage_, std::move(value)); }

    struct Attributes;

private:
    friend class StoredEntity<CompressionLog>;
    CompressionLog() = default;

    Uuid id_;
    Date executedAt_{};
    std::string operation_;
    std::string targetPath_;
    std::int64_t sizeBefore_ = 0;
    std::int64_t sizeAfter_ = 0;
    std::string algorithm_;
    std::int64_t durationMs_ = 0;
    bool success_ = false;
    std::optional<std::string> errorMessage_;
};

struct CompressionLog::Attributes : AttributesOf<CompressionLog> {
    static constexpr A<Uuid> id{"id", &CompressionLog::id_};
    static constexpr A<Date> executedAt{"executedAt", &CompressionLog::executedAt_};
    static constexpr A<std::string> operation{"operation", &CompressionLog::operation_};
    static constexpr A<std::string> targetPath{"targetPath", &CompressionLog::targetPath_};
    static constexpr A<std::int64_t> sizeBefore{"sizeBefore", &CompressionLog::sizeBefore_};
    static constexpr A<std::int64_t> sizeAfter{"sizeAfter", &CompressionLog::sizeAfter_};
    static constexpr A<std::string> algorithm{"algorithm", &CompressionLog::algorithm_};
    static constexpr A<std::int64_t> durationMs{"durationMs", &CompressionLog::durationMs_};
    static constexpr A<bool> success{"success", &CompressionLog::success_};
    static constexpr A<std::optional<std::string>> errorMessage{"errorMessage", &CompressionLog::errorMessage_};
    static constexpr std::tuple all{id,        executedAt, operation,  targetPath, sizeBefore,
                                    sizeAfter, algorithm,  durationMs, success,    errorMessage};
};

}  // namespace kelvane::store
