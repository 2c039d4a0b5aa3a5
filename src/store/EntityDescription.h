// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <span>
#include <string_view>

namespace kelvane::store {

class PersistentModel;
struct EntityDescription;

// One stored attribute of an entity. The name is the column name in the
// file and never changes.
struct AttributeDescription {
    std::string_view name;
    // For a to-one relationship: the related entity.
    const EntityDescription& (*relationshipTarget)() = nullptr;
    // The record goes when the related record is deleted.
    bool cascadeDelete = false;
};

// How one model class is stored: its table, its attributes in the order of
// PersistentModel::storedValues(), and at most one unique attribute (an
// insert with a taken value updates the record that has it).
struct EntityDescription {
    std::string_view name;
    std::span<const AttributeDescription> attributes;
    std::string_view uniqueAttribute;
    std::shared_ptr<PersistentModel> (*makeEmpty)();
};

}  // namespace kelvane::store
