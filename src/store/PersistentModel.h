// SPDX-License-Identifier: MIT
#pragma once

#include "store/EntityDescription.h"
#include "store/StoredValue.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace kelvane::store {

namespace detail {
class ContextCore;
}

// Base of the stored model classes. Models are always held by
// std::shared_ptr; within one context a stored record is one object, so two
// references are equal exactly when they denote the same record (compare the
// pointers), whatever their field values.
class PersistentModel : public std::enable_shared_from_this<PersistentModel> {
public:
    virtual ~PersistentModel();
    PersistentModel(const PersistentModel&) = delete;
    PersistentModel& operator=(const PersistentModel&) = delete;

    virtual const EntityDescription& entity() const = 0;

    // The record's key in the file once it has been saved (or fetched).
    std::optional<std::int64_t> persistentIdentifier() const;
    // Inserted and not yet saved.
    bool isInserted() const { return state_ == State::pendingInsert; }
    // Deleted in its context (pending) or deleted by a save.
    bool isDeleted() const { return state_ == State::pendingDelete || state_ == State::deleted; }

protected:
    PersistentModel() = default;

    // Every setter calls this, so the owning context saves the change.
    void didChange();

    // Attribute values in the order of entity().attributes, and back.
    // assignStored must not call didChange().
    virtual std::vector<StoredValue> storedValues() const = 0;
    virtual void assignStored(const std::vector<StoredValue>& values) = 0;

private:
    friend class detail::ContextCore;

    enum class State { detached, pendingInsert, stored, pendingDelete, deleted };

    std::weak_ptr<detail::ContextCore> context_;
    State state_ = State::detached;
    std::int64_t rowKey_ = 0;
    std::vector<StoredValue> savedValues_;  // as last read from or written to the file
};

}  // namespace kelvane::store
