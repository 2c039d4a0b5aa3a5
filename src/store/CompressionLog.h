#pragma once

#include "store/Attribute.h"
#include "store/PersistentModel.h"

#include <optional>
#include <string>

namespace kelvane::store {

// One history record: one file processed by one compress or decompress run.
// Records with equal fields are still distinct records.
class CompressionLog final : public PersistentModel {
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

    const EntityDescription& entity() const override { return entityDescription(); }
    static const EntityDescription& entityDescription();

    struct Attributes;

protected:
    std::vector<StoredValue> storedValues() const override;
    void assignStored(const std::vector<StoredValue>& values) override;

private:
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

struct CompressionLog::Attributes {
    static constexpr Attribute<CompressionLog, Uuid> id{"id", [](const CompressionLog& m) { return m.id(); }};
    static constexpr Attribute<CompressionLog, Date> executedAt{
        "executedAt", [](const CompressionLog& m) { return m.executedAt(); }};
    static constexpr Attribute<CompressionLog, std::string> operation{
        "operation", [](const CompressionLog& m) { return m.operation(); }};
    static constexpr Attribute<CompressionLog, std::string> targetPath{
        "targetPath", [](const CompressionLog& m) { return m.targetPath(); }};
    static constexpr Attribute<CompressionLog, std::int64_t> sizeBefore{
        "sizeBefore", [](const CompressionLog& m) { return m.sizeBefore(); }};
    static constexpr Attribute<CompressionLog, std::int64_t> sizeAfter{
        "sizeAfter", [](const CompressionLog& m) { return m.sizeAfter(); }};
    static constexpr Attribute<CompressionLog, std::string> algorithm{
        "algorithm", [](const CompressionLog& m) { return m.algorithm(); }};
    static constexpr Attribute<CompressionLog, std::int64_t> durationMs{
        "durationMs", [](const CompressionLog& m) { return m.durationMs(); }};
    static constexpr Attribute<CompressionLog, bool> success{
        "success", [](const CompressionLog& m) { return m.success(); }};
    static constexpr Attribute<CompressionLog, std::optional<std::string>> errorMessage{
        "errorMessage", [](const CompressionLog& m) { return m.errorMessage(); }};
};

}  // namespace kelvane::store
