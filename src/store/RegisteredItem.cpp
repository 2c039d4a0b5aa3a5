#include "store/RegisteredItem.h"

#include "store/ContextCore.h"
#include "store/FileSnapshot.h"

namespace kelvane::store {

RegisteredItem::RegisteredItem(Uuid id, ByteData bookmark, std::string kind, bool includeSubfolders,
                               Date registeredAt, std::string displayName, std::optional<std::string> notes)
    : id_(id),
      bookmark_(std::move(bookmark)),
      kind_(std::move(kind)),
      includeSubfolders_(includeSubfolders),
      registeredAt_(registeredAt),
      displayName_(std::move(displayName)),
      notes_(std::move(notes)) {}

void RegisteredItem::setId(Uuid value) { id_ = value; didChange(); }
void RegisteredItem::setBookmark(ByteData value) { bookmark_ = std::move(value); didChange(); }
void RegisteredItem::setKind(std::string value) { kind_ = std::move(value); didChange(); }
void RegisteredItem::setIncludeSubfolders(bool value) { includeSubfolders_ = value; didChange(); }
void RegisteredItem::setRegisteredAt(Date value) { registeredAt_ = value; didChange(); }
void RegisteredItem::setDisplayName(std::string value) { displayName_ = std::move(value); didChange(); }
void RegisteredItem::setNotes(std::optional<std::string> value) { notes_ = std::move(value); didChange(); }

std::vector<std::shared_ptr<FileSnapshot>> RegisteredItem::snapshots() const {
    auto core = detail::ContextCore::of(*this);
    if (!core) return {};
    auto self = std::static_pointer_cast<RegisteredItem>(std::const_pointer_cast<PersistentModel>(shared_from_this()));
    FetchDescriptor<FileSnapshot> descriptor(FileSnapshot::Attributes::registeredItem == self);
    auto objects = detail::fetchObjects(*core, FileSnapshot::entityDescription(), detail::compile(descriptor));
    std::vector<std::shared_ptr<FileSnapshot>> result;
    result.reserve(objects.size());
    for (auto& object : objects) result.push_back(std::static_pointer_cast<FileSnapshot>(std::move(object)));
    return result;
}

const EntityDescription& RegisteredItem::entityDescription() {
    static constexpr AttributeDescription attributes[] = {
        {"id"}, {"bookmark"}, {"kind"}, {"includeSubfolders"}, {"registeredAt"}, {"displayName"}, {"notes"},
    };
    static const EntityDescription description{
        entityName, attributes, {},
        []() -> std::shared_ptr<PersistentModel> { return std::shared_ptr<RegisteredItem>(new RegisteredItem()); }};
    return description;
}

std::vector<StoredValue> RegisteredItem::storedValues() const {
    return {toStored(id_),           toStored(bookmark_),    toStored(kind_),  toStored(includeSubfolders_),
            toStored(registeredAt_), toStored(displayName_), toStored(notes_)};
}

void RegisteredItem::assignStored(const std::vector<StoredValue>& values) {
    id_ = storedUuid(values.at(0));
    bookmark_ = storedBytes(values.at(1));
    kind_ = storedText(values.at(2));
    includeSubfolders_ = storedBool(values.at(3));
    registeredAt_ = storedDate(values.at(4));
    displayName_ = storedText(values.at(5));
    notes_ = storedOptionalText(values.at(6));
}

}  // namespace kelvane::store
