// SPDX-License-Identifier: MIT
#include "store/ModelContext.h"

#include "store/ContextCore.h"

namespace kelvane::store {

ModelContext::ModelContext(std::shared_ptr<detail::ContextCore> core) : core_(std::move(core)) {
    core_->setOwner(this);
}

ModelContext::~ModelContext() { core_->setOwner(nullptr); }

void ModelContext::insert(const std::shared_ptr<PersistentModel>& model) { core_->insert(model); }
void ModelContext::remove(const std::shared_ptr<PersistentModel>& model) { core_->remove(model); }
void ModelContext::save() { core_->save(); }
void ModelContext::rollback() { core_->rollback(); }
bool ModelContext::hasChanges() const { return core_->hasChanges(); }
ModelContext::Access ModelContext::access() const { return core_->access(); }

}  // namespace kelvane::store
