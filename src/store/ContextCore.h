// SPDX-License-Identifier: MIT
#pragma once

#include "store/FetchDescriptor.h"
#include "store/ModelContext.h"
#include "store/PersistentModel.h"
#include "store/SqliteConnection.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kelvane::store::detail {

class SaveAnnouncer;

// The state behind a ModelContext: its connection, the one object per
// fetched record, and the pending inserts, deletes and changes.
class ContextCore : public std::enable_shared_from_this<ContextCore> {
public:
    ContextCore(const std::filesystem::path& path, ModelContext::Access access, std::chrono::milliseconds busyTimeout,
                std::shared_ptr<SaveAnnouncer> announcer);
    ~ContextCore();

    static std::shared_ptr<ContextCore> of(const PersistentModel& model);

    void setOwner(const ModelContext* owner) { owner_ = owner; }
    ModelContext::Access access() const { return access_; }

    std::vector<std::shared_ptr<PersistentModel>> fetch(const EntityDescription& entity, const CompiledQuery& query);
    void insert(const std::shared_ptr<PersistentModel>& model);
    void remove(const std::shared_ptr<PersistentModel>& model);
    void save();
    void rollback();
    bool hasChanges() const;

    void markChanged(PersistentModel& model);

private:
    using State = PersistentModel::State;
    using Registry = std::unordered_map<std::int64_t, std::weak_ptr<PersistentModel>>;

    struct PlannedInsert {
        std::shared_ptr<PersistentModel> model;
        std::vector<StoredValue> values;
        std::int64_t key = 0;
    };

    std::shared_ptr<PersistentModel> materialize(const EntityDescription& entity, std::int64_t key,
                                                 std::vector<StoredValue> values);
    std::shared_ptr<PersistentModel> loadByKey(const EntityDescription& entity, std::int64_t key);
    std::vector<StoredValue> readRow(const EntityDescription& entity, const SqliteStatement& statement);
    bool hasPendingValues(const PersistentModel& model) const;
    bool isCascadeDeleted(const PersistentModel& model) const;
    void checkOwnership(const PersistentModel& model) const;
    std::vector<StoredValue> keysForRelationships(
        const std::vector<StoredValue>& values,
        const std::unordered_map<const PersistentModel*, std::int64_t>& newKeys) const;
    void finishSave(std::vector<PlannedInsert>& inserts, const std::vector<std::shared_ptr<PersistentModel>>& updates,
                    const std::vector<std::shared_ptr<PersistentModel>>& dropped);
    // Empties the lists of pending inserts, deletes and changes.
    void forgetPending();

    SqliteConnection connection_;
    ModelContext::Access access_;
    std::shared_ptr<SaveAnnouncer> announcer_;
    const ModelContext* owner_ = nullptr;

    std::unordered_map<const EntityDescription*, Registry> registries_;
    std::vector<std::shared_ptr<PersistentModel>> inserted_;  // in insert order
    std::vector<std::shared_ptr<PersistentModel>> deleted_;   // in delete order
    std::vector<std::shared_ptr<PersistentModel>> changed_;   // stored records a setter touched
    std::unordered_set<const PersistentModel*> changedSet_;
};

}  // namespace kelvane::store::detail
