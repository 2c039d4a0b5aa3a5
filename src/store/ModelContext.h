// SPDX-License-Identifier: MIT
#pragma once

#include "store/FetchDescriptor.h"
#include "store/PersistentModel.h"

#include <memory>
#include <vector>

namespace kelvane::store {

namespace detail {
class ContextCore;
std::vector<std::shared_ptr<PersistentModel>> fetchObjects(ContextCore& core, const EntityDescription& entity,
                                                           const CompiledQuery& query);
}  // namespace detail

// A working set of records on one connection to the store. Inserts, deletes
// and changes to fetched records stay in the context until save(), which
// writes them all in one transaction. A context and its records are used
// from one thread at a time.
//
//   using Log = CompressionLog::Attributes;
//   auto logs = context.fetch(FetchDescriptor<CompressionLog>(
//       Log::success == false, {{Log::executedAt, SortOrder::reverse}}));
//   context.remove(logs.front());
//   context.save();
class ModelContext {
public:
    enum class Access { readWrite, readOnly };

    ~ModelContext();
    ModelContext(const ModelContext&) = delete;
    ModelContext& operator=(const ModelContext&) = delete;

    // The records of M matching the descriptor, as this context sees them:
    // unsaved inserts and changes count, unsaved deletes (and the snapshots
    // of a deleted item) do not. Within a context a record is always the same
    // object. Throws StoreError (fetchFailed).
    template <class M>
    std::vector<std::shared_ptr<M>> fetch(const FetchDescriptor<M>& descriptor = {}) const {
        auto objects = detail::fetchObjects(*core_, M::entityDescription(), detail::compile(descriptor));
        std::vector<std::shared_ptr<M>> result;
        result.reserve(objects.size());
        for (auto& object : objects) result.push_back(std::static_pointer_cast<M>(std::move(object)));
        return result;
    }

    // Adds a new record (a second insert of the same object does nothing;
    // inserting a record deleted in this context undeletes it). Throws
    // StoreError (misuse) for a record of another context or one already deleted.
    void insert(const std::shared_ptr<PersistentModel>& model);
    // Deletes a record at the next save; an unsaved insert is simply dropped.
    // Deleting a RegisteredItem deletes its snapshots. Throws StoreError
    // (misuse) for a record of another context.
    void remove(const std::shared_ptr<PersistentModel>& model);

    // Writes every pending insert, delete and change in one transaction and
    // then tells the container's save observers. Nothing pending: nothing is
    // written and nobody is told. When the save fails (StoreError saveFailed
    // or readOnly) the transaction is rolled back and so are the pending
    // changes: unsaved inserts are dropped, deletes undone and changed
    // records get back their stored values, so what the file holds and what
    // the context shows agree.
    void save();
    // Drops every pending change as a failed save does.
    void rollback();
    bool hasChanges() const;

    Access access() const;

private:
    friend class ModelContainer;
    explicit ModelContext(std::shared_ptr<detail::ContextCore> core);

    std::shared_ptr<detail::ContextCore> core_;
};

}  // namespace kelvane::store
