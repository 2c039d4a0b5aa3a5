#include "store/FileSnapshot.h"

namespace kelvane::store {

FileSnapshot::FileSnapshot(Uuid id, std::shared_ptr<RegisteredItem> registeredItem, std::string relativePath,
                           std::int64_t inode, std::int64_t logicalSize, std::int64_t physicalSize,
                           bool isCompressed, std::optional<std::string> algorithm, Date mtime,
                           Date lastObservedAt)
    : id_(id),
      registeredItem_(std::move(registeredItem)),
      relativePath_(std::move(relativePath)),
      inode_(inode),
      logicalSize_(logicalSize),
      physicalSize_(physicalSize),
      isCompressed_(isCompressed),
      algorithm_(std::move(algorithm)),
      mtime_(mtime),
      lastObservedAt_(lastObservedAt) {}

void FileSnapshot::setId(Uuid value) { id_ = value; didChange(); }
void FileSnapshot::setRegisteredItem(std::shared_ptr<RegisteredItem> value) { registeredItem_ = std::move(value); didChange(); }
void FileSnapshot::setRelativePath(std::string value) { relativePath_ = std::move(value); didChange(); }
void FileSnapshot::setInode(std::int64_t value) { inode_ = value; didChange(); }
void FileSnapshot::setLogicalSize(std::int64_t value) { logicalSize_ = value; didChange(); }
void FileSnapshot::setPhysicalSize(std::int64_t value) { physicalSize_ = value; didChange(); }
void FileSnapshot::setIsCompressed(bool value) { isCompressed_ = value; didChange(); }
void FileSnapshot::setAlgorithm(std::optional<std::string> value) { algorithm_ = std::move(value); didChange(); }
void FileSnapshot::setMtime(Date value) { mtime_ = value; didChange(); }
void FileSnapshot::setLastObservedAt(Date value) { lastObservedAt_ = value; didChange(); }

const EntityDescription& FileSnapshot::entityDescription() {
    static constexpr AttributeDescription attributes[] = {
        {"id"},
        {"registeredItem", &RegisteredItem::entityDescription, true},
        {"relativePath"},
        {"inode"},
        {"logicalSize"},
        {"physicalSize"},
        {"isCompressed"},
        {"algorithm"},
        {"mtime"},
        {"lastObservedAt"},
    };
    static const EntityDescription description{
        entityName, attributes, {},
        []() -> std::shared_ptr<PersistentModel> { return std::shared_ptr<FileSnapshot>(new FileSnapshot()); }};
    return description;
}

std::vector<StoredValue> FileSnapshot::storedValues() const {
    return {toStored(id_),          toStored(registeredItem_), toStored(relativePath_), toStored(inode_),
            toStored(logicalSize_), toStored(physicalSize_),   toStored(isCompressed_), toStored(algorithm_),
            toStored(mtime_),       toStored(lastObservedAt_)};
}

void FileSnapshot::assignStored(const std::vector<StoredValue>& values) {
    id_ = storedUuid(values.at(0));
    registeredItem_ = std::static_pointer_cast<RegisteredItem>(storedModel(values.at(1)));
    relativePath_ = storedText(values.at(2));
    inode_ = storedInt(values.at(3));
    logicalSize_ = storedInt(values.at(4));
    physicalSize_ = storedInt(values.at(5));
    isCompressed_ = storedBool(values.at(6));
    algorithm_ = storedOptionalText(values.at(7));
    mtime_ = storedDate(values.at(8));
    lastObservedAt_ = storedDate(values.at(9));
}

}  // namespace kelvane::store
