// SPDX-License-Identifier: MIT
#pragma once

#include "store/RegisteredItem.h"
#include "store/StoredEntity.h"

#include <memory>
#include <optional>
#include <string>

namespace kelvane::store {

// The observed state of one file under a registered item. The application
// itself never writes these; they go with their item. The entity stays
// because it is part of both schema versions: a store made by an earlier
// version may hold rows of it, the migration carries them over, and deleting
// an item must delete its snapshots with it. Dropping it would need a new
// schema version and a migration that removes the table.
class FileSnapshot final : public StoredEntity<FileSnapshot> {
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

    void setId(Uuid value) { set(&FileSnapshot::id_, value); }
    void setRegisteredItem(std::shared_ptr<RegisteredItem> value) { set(&FileSnapshot::registeredItem_, std::move(value)); }
    void setRelativePath(std::string value) { set(&FileSnapshot::relativePath_, std::move(value)); }
    void setInode(std::int64_t value) { set(&FileSnapshot::inode_, value); }
    void setLogicalSize(std::int64_t value) { set(&FileSnapshot::logicalSize_, value); }
    void setPhysicalSize(std::int64_t value) { set(&FileSnapshot::physicalSize_, value); }
    void setIsCompressed(bool value) { set(&FileSnapshot::isCompressed_, value); }
    void setAlgorithm(std::optional<std::string> value) { set(&FileSnapshot::algorithm_, std::move(value)); }
    void setMtime(Date value) { set(&FileSnapshot::mtime_, value); }
    void setLastObservedAt(Date value) { set(&FileSnapshot::lastObservedAt_, value); }

    struct Attributes;

private:
    friend class StoredEntity<FileSnapshot>;
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

struct FileSnapshot::Attributes : AttributesOf<FileSnapshot> {
    static constexpr A<Uuid> id{"id", &FileSnapshot::id_};
    // Compare with == / != only (same record or not). Deleting the item deletes its snapshots.
    static constexpr A<std::shared_ptr<RegisteredItem>> registeredItem{"registeredItem", &FileSnapshot::registeredItem_,
                                                                       true};
    static constexpr A<std::string> relativePath{"relativePath", &FileSnapshot::relativePath_};
    static constexpr A<std::int64_t> inode{"inode", &FileSnapshot::inode_};
    static constexpr A<std::int64_t> logicalSize{"logicalSize", &FileSnapshot::logicalSize_};
    static constexpr A<std::int64_t> physicalSize{"physicalSize", &FileSnapshot::physicalSize_};
    static constexpr A<bool> isCompressed{"isCompressed", &FileSnapshot::isCompressed_};
    static constexpr A<std::optional<std::string>> algorithm{"algorithm", &FileSnapshot::algorithm_};
    static constexpr A<Date> mtime{"mtime", &FileSnapshot::mtime_};
    static constexpr A<Date> lastObservedAt{"lastObservedAt", &FileSnapshot::lastObservedAt_};
    static constexpr std::tuple all{id,           registeredItem, relativePath, inode, logicalSize,
                                    physicalSize, isCompressed,   algorithm,    mtime, lastObservedAt};
};

}  // namespace kelvane::store
