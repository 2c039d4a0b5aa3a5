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

void CompressionLog::setId(Uuid value) { id_ = value; didChange(); }
void CompressionLog::setExecutedAt(Date value) { executedAt_ = value; didChange(); }
void CompressionLog::setOperation(std::string value) { operation_ = std::move(value); didChange(); }
void CompressionLog::setTargetPath(std::string value) { targetPath_ = std::move(value); didChange(); }
void CompressionLog::setSizeBefore(std::int64_t value) { sizeBefore_ = value; didChange(); }
void CompressionLog::setSizeAfter(std::int64_t value) { sizeAfter_ = value; didChange(); }
void CompressionLog::setAlgorithm(std::string value) { algorithm_ = std::move(value); didChange(); }
void CompressionLog::setDurationMs(std::int64_t value) { durationMs_ = value; didChange(); }
void CompressionLog::setSuccess(bool value) { success_ = value; didChange(); }
void CompressionLog::setErrorMessage(std::optional<std::string> value) { errorMessage_ = std::move(value); didChange(); }

const EntityDescription& CompressionLog::entityDescription() {
    static constexpr AttributeDescription attributes[] = {
        {"id"},        {"executedAt"}, {"operation"},  {"targetPath"}, {"sizeBefore"},
        {"sizeAfter"}, {"algorithm"},  {"durationMs"}, {"success"},    {"errorMessage"},
    };
    static const EntityDescription description{
        entityName, attributes, {},
        []() -> std::shared_ptr<PersistentModel> { return std::shared_ptr<CompressionLog>(new CompressionLog()); }};
    return description;
}

std::vector<StoredValue> CompressionLog::storedValues() const {
    return {toStored(id_),        toStored(executedAt_), toStored(operation_),  toStored(targetPath_),
            toStored(sizeBefore_), toStored(sizeAfter_), toStored(algorithm_),  toStored(durationMs_),
            toStored(success_),   toStored(errorMessage_)};
}

void CompressionLog::assignStored(const std::vector<StoredValue>& values) {
    id_ = storedUuid(values.at(0));
    executedAt_ = storedDate(values.at(1));
    operation_ = storedText(values.at(2));
    targetPath_ = storedText(values.at(3));
    sizeBefore_ = storedInt(values.at(4));
    sizeAfter_ = storedInt(values.at(5));
    algorithm_ = storedText(values.at(6));
    durationMs_ = storedInt(values.at(7));
    success_ = storedBool(values.at(8));
    errorMessage_ = storedOptionalText(values.at(9));
}

}  // namespace kelvane::store
