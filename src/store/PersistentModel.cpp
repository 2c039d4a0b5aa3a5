// SPDX-License-Identifier: MIT
#include "store/PersistentModel.h"

#include "store/ContextCore.h"

namespace kelvane::store {

PersistentModel::~PersistentModel() = default;

std::optional<std::int64_t> PersistentModel::persistentIdentifier() const {
    if (state_ == State::stored || state_ == State::pendingDelete || state_ == State::deleted) return rowKey_;
    return std::nullopt;
}

void PersistentModel::didChange() {
    // Inserted records are written whole at the save; only stored ones need tracking.
    if (state_ != State::stored && state_ != State::pendingDelete) return;
    if (auto core = context_.lock()) core->markChanged(*this);
}

}  // namespace kelvane::store
