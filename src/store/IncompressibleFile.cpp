#include "store/IncompressibleFile.h"

namespace kelvane::store {

IncompressibleFile::IncompressibleFile(std::string targetPath, Date recordedAt, std::int64_t sizeAtRecord)
    : targetPath_(std::move(targetPath)), recordedAt_(recordedAt), sizeAtRecord_(sizeAtRecord) {}

void IncompressibleFile::setTargetPath(std::string value) { targetPath_ = std::move(value); didChange(); }
void IncompressibleFile::setRecordedAt(Date value) { recordedAt_ = value; didChange(); }
void IncompressibleFile::setSizeAtRecord(std::int64_t value) { sizeAtRecord_ = value; didChange(); }

const EntityDescription& IncompressibleFile::entityDescription() {
    static constexpr AttributeDescription attributes[] = {{"targetPath"}, {"recordedAt"}, {"sizeAtRecord"}};
    static const EntityDescription description{
        entityName, attributes, "targetPath",
        []() -> std::shared_ptr<PersistentModel> { return std::shared_ptr<IncompressibleFile>(new IncompressibleFile()); }};
    return description;
}

std::vector<StoredValue> IncompressibleFile::storedValues() const {
    return {toStored(targetPath_), toStored(recordedAt_), toStored(sizeAtRecord_)};
}

void IncompressibleFile::assignStored(const std::vector<StoredValue>& values) {
    targetPath_ = storedText(values.at(0));
    recordedAt_ = storedDate(values.at(1));
    sizeAtRecord_ = storedInt(values.at(2));
}

}  // namespace kelvane::store
