// SPDX-License-Identifier: MIT
#include "store/Entities.h"

#include "store/CompressionLog.h"
#include "store/FileSnapshot.h"
#include "store/IncompressibleFile.h"
#include "store/RegisteredItem.h"

namespace kelvane::store::detail {

std::span<const EntityDescription* const> allEntities() {
    static const EntityDescription* const list[] = {
        &RegisteredItem::entityDescription(), &FileSnapshot::entityDescription(),
        &CompressionLog::entityDescription(), &IncompressibleFile::entityDescription()};
    return list;
}

const EntityDescription* entityNamed(std::string_view name) {
    for (const EntityDescription* entity : allEntities()) {
        if (entity->name == name) return entity;
    }
    return nullptr;
}

}  // namespace kelvane::store::detail
