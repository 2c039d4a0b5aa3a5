// SPDX-License-Identifier: MIT
#pragma once

#include "store/CompressionLogValues.h"
#include "store/StoredEntity.h"

#include <optional>
#include <string>

namespace kelvane::store {

// One history record: one file processed by one compress or decompress run.
// Records with equal fields are still distinct records. Its values are a base
// of their own so that a run can queue them before there is a record.
class CompressionLog final : public StoredEntity<CompressionLog>, private CompressionLogValues {
public:
    static constexpr std::string_view entityName = "CompressionLog";

    // Pass Uuid::random() as id for a new record.
    CompressionLog(Uuid id, Date executedAt, std::string operation, std::string targetPath,
                   std::int64_t sizeBefore, std::int64_t sizeAfter, std::string algorithm,
                   std::int64_t durationMs, bool success,
                   std::optional<std::string> errorMessage = std::nullopt);
    CompressionLog(Uuid id, CompressionLogValues values);

    const Uuid& id() const { return id_; }
    // Everything the record says but its id.
    const CompressionLogValues& values() const { return *this; }
    Date executedAt() const { return Values::executedAt; }
    const std::string& operation() const { return Values::operation; }
    const std::string& targetPath() const { return Values::targetPath; }
    std::int64_t sizeBefore() const { return Values::sizeBefore; }
    std::int64_t sizeAfter() const { return Values::sizeAfter; }
    const std::string& algorithm() const { return Values::algorithm; }
    std::int64_t durationMs() const { return Values::durationMs; }
    bool success() const { return Values::success; }
    const std::optional<std::string>& errorMessage() const { return Values::errorMessage; }

    void setId(Uuid value);
    void setExecutedAt(Date value);
    void setOperation(std::string value);
    void setTargetPath(std::string value);
    void setSizeBefore(std::int64_t value);
    void setSizeAfter(std::int64_t value);
    void setAlgorithm(std::string value);
    void setDurationMs(std::int64_t value);
    void setSuccess(bool value);
    void setErrorMessage(std::optional<std::string> value);

    struct Attributes;

private:
    using Values = CompressionLogValues;
    friend class StoredEntity<CompressionLog>;
    CompressionLog() = default;

    Uuid id_;
};

struct CompressionLog::Attributes : AttributesOf<CompressionLog> {
    static constexpr A<Uuid> id{"id", &CompressionLog::id_};
    static constexpr A<Date> executedAt{"executedAt", &Values::executedAt};
    static constexpr A<std::string> operation{"operation", &Values::operation};
    static constexpr A<std::string> targetPath{"targetPath", &Values::targetPath};
    static constexpr A<std::int64_t> sizeBefore{"sizeBefore", &Values::sizeBefore};
    static constexpr A<std::int64_t> sizeAfter{"sizeAfter", &Values::sizeAfter};
    static constexpr A<std::string> algorithm{"algorithm", &Values::algorithm};
    static constexpr A<std::int64_t> durationMs{"durationMs", &Values::durationMs};
    static constexpr A<bool> success{"success", &Values::success};
    static constexpr A<std::optional<std::string>> errorMessage{"errorMessage", &Values::errorMessage};
    static constexpr std::tuple all{id,        executedAt, operation,  targetPath, sizeBefore,
                                    sizeAfter, algorithm,  durationMs, success,    errorMessage};
};

}  // namespace kelvane::store
