// SPDX-License-Identifier: MIT
#pragma once

#include "store/StoredEntity.h"

#include <string>

namespace kelvane::store {

// A file found not to shrink. The store keeps at most one record per path:
// saving an inserted record whose path is already stored updates that
// record's recordedAt and sizeAtRecord instead of adding a second one.
class IncompressibleFile final : public StoredEntity<IncompressibleFile> {
public:
    static constexpr std::string_view entityName = "IncompressibleFile";
    static constexpr std::string_view uniqueAttribute = "targetPath";

    IncompressibleFile(std::string targetPath, Date recordedAt, std::int64_t sizeAtRecord)
        : targetPath_(std::move(targetPath)), recordedAt_(recordedAt), sizeAtRecord_(sizeAtRecord) {}

    const std::string& targetPath() const { return targetPath_; }
    Date recordedAt() const { return recordedAt_; }
    std::int64_t sizeAtRecord() const { return sizeAtRecord_; }

    void setTargetPath(std::string value) { set(&IncompressibleFile::targetPath_, std::move(value)); }
    void setRecordedAt(Date value) { set(&IncompressibleFile::recordedAt_, value); }
    void setSizeAtRecord(std::int64_t value) { set(&IncompressibleFile::sizeAtRecord_, value); }

    struct Attributes;

private:
    friend class StoredEntity<IncompressibleFile>;
    IncompressibleFile() = default;

    std::string targetPath_;
    Date recordedAt_{};
    std::int64_t sizeAtRecord_ = 0;
};

struct IncompressibleFile::Attributes {
    static constexpr Attribute<IncompressibleFile, std::string> targetPath{"targetPath", &IncompressibleFile::targetPath_};
    static constexpr Attribute<IncompressibleFile, Date> recordedAt{"recordedAt", &IncompressibleFile::recordedAt_};
    static constexpr Attribute<IncompressibleFile, std::int64_t> sizeAtRecord{"sizeAtRecord",
                                                                              &IncompressibleFile::sizeAtRecord_};
    static constexpr std::tuple all{targetPath, recordedAt, sizeAtRecord};
};

}  // namespace kelvane::store
