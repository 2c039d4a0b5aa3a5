#pragma once

#include "store/Attribute.h"
#include "store/PersistentModel.h"

#include <string>

namespace kelvane::store {

// A file found not to shrink. The store keeps at most one record per path:
// saving an inserted record whose path is already stored updates that
// record's recordedAt and sizeAtRecord instead of adding a second one.
class IncompressibleFile final : public PersistentModel {
public:
    static constexpr std::string_view entityName = "IncompressibleFile";

    IncompressibleFile(std::string targetPath, Date recordedAt, std::int64_t sizeAtRecord);

    const std::string& targetPath() const { return targetPath_; }
    Date recordedAt() const { return recordedAt_; }
    std::int64_t sizeAtRecord() const { return sizeAtRecord_; }

    void setTargetPath(std::string value);
    void setRecordedAt(Date value);
    void setSizeAtRecord(std::int64_t value);

    const EntityDescription& entity() const override { return entityDescription(); }
    static const EntityDescription& entityDescription();

    struct Attributes;

protected:
    std::vector<StoredValue> storedValues() const override;
    void assignStored(const std::vector<StoredValue>& values) override;

private:
    IncompressibleFile() = default;

    std::string targetPath_;
    Date recordedAt_{};
    std::int64_t sizeAtRecord_ = 0;
};

struct IncompressibleFile::Attributes {
    static constexpr Attribute<IncompressibleFile, std::string> targetPath{
        "targetPath", [](const IncompressibleFile& m) { return m.targetPath(); }};
    static constexpr Attribute<IncompressibleFile, Date> recordedAt{
        "recordedAt", [](const IncompressibleFile& m) { return m.recordedAt(); }};
    static constexpr Attribute<IncompressibleFile, std::int64_t> sizeAtRecord{
        "sizeAtRecord", [](const IncompressibleFile& m) { return m.sizeAtRecord(); }};
};

}  // namespace kelvane::store
