// SPDX-License-Identifier: MIT
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

}  // namespace kelvane::store
