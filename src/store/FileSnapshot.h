#pragma once

#include "store/Attribute.h"
#include "store/PersistentModel.h"
#include "store/RegisteredItem.h"

#include <memory>
#include <optional>
#include <string>

namespace kelvane::store {

// The observed state of one file under a registered item. The application
// itself never writes these; they go with their item.
class FileSnapshot final : public PersistentModel {
public:
    static constexpr std::string_view entityName = "FileSnapshot";

    FileSnapshot(Uuid id, std::shared_ptr<RegisteredItem> registeredItem, std::string relativePath,
                 std::int64_t inode, std::int64_t logicalSize, std::int64_t physicalSize,
                 bool isCompressed, std::optional<std::string> algorithm, Date mtime,
                 Date lastObservedAt);

    const Uuid& id() const { return id_; }
    const std::shared_ptr<RegisteredItem>& registeredItem() const { return registeredItem_; }
    const std::string& relativePath() const { return relativePath_; }
    std::int64_t inode() const { return inode_; }
    std::int64_t logicalSize() const { return logicalSize_; }
    std::int64_t physicalSize() const { return physicalSize_; }
    bool isCompressed() const { return isCompressed_; }
    const std::optional<std::string>& algorithm() const { return algorithm_; }
    Date mtime() const { return mtime_; }
    Date lastObservedAt() const { return lastObservedAt_; }

    void setId(Uuid value);
    void setRegisteredItem(std::shared_ptr<RegisteredItem> value);
    void setRelativePath(std::string value);
    void setInode(std::int64_t value);
    void setLogicalSize(std::int64_t value);
    void setPhysicalSize(std::int64_t value);
    void setIsCompressed(bool value);
    void setAlgorithm(std::optional<std::string> value);
    void setMtime(Date value);
    void setLastObservedAt(Date value);

    const EntityDescription& entity() const override { return entityDescription(); }
    static const EntityDescription& entityDescription();

    struct Attributes;

protected:
    std::vector<StoredValue> storedValues() const override;
    void assignStored(const std::vector<StoredValue>& values) override;

private:
    FileSnapshot() = default;

    Uuid id_;
    std::shared_ptr<RegisteredItem> registeredItem_;
    std::string relativePath_;
    std::int64_t inode_ = 0;
    std::int64_t logicalSize_ = 0;
    std::int64_t physicalSize_ = 0;
    bool isCompressed_ = false;
    std::optional<std::string> algorithm_;
    Date mtime_{};
    Date lastObservedAt_{};
};

struct FileSnapshot::Attributes {
    static constexpr Attribute<FileSnapshot, Uuid> id{"id", [](const FileSnapshot& m) { return m.id(); }};
    // Compare with == / != only (same record or not).
    static constexpr Attribute<FileSnapshot, std::shared_ptr<RegisteredItem>> registeredItem{
        "registeredItem", [](const FileSnapshot& m) { return m.registeredItem(); }};
    static constexpr Attribute<FileSnapshot, std::string> relativePath{
        "relativePath", [](const FileSnapshot& m) { return m.relativePath(); }};
    static constexpr Attribute<FileSnapshot, std::int64_t> inode{
        "inode", [](const FileSnapshot& m) { return m.inode(); }};
    static constexpr Attribute<FileSnapshot, std::int64_t> logicalSize{
        "logicalSize", [](const FileSnapshot& m) { return m.logicalSize(); }};
    static constexpr Attribute<FileSnapshot, std::int64_t> physicalSize{
        "physicalSize", [](const FileSnapshot& m) { return m.physicalSize(); }};
    static constexpr Attribute<FileSnapshot, bool> isCompressed{
        "isCompressed", [](const FileSnapshot& m) { return m.isCompressed(); }};
    static constexpr Attribute<FileSnapshot, std::optional<std::string>> algorithm{
        "algorithm", [](const FileSnapshot& m) { return m.algorithm(); }};
    static constexpr Attribute<FileSnapshot, Date> mtime{
        "mtime", [](const FileSnapshot& m) { return m.mtime(); }};
    static constexpr Attribute<FileSnapshot, Date> lastObservedAt{
        "lastObservedAt", [](const FileSnapshot& m) { return m.lastObservedAt(); }};
};

}  // namespace kelvane::store
