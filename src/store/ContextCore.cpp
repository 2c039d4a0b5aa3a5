// SPDX-License-Identifier: MIT
#include "store/ContextCore.h"

#include "store/Entities.h"

#include "store/ModelContainer.h"
#include "store/SaveAnnouncer.h"

#include <algorithm>
#include <limits>
#include <map>
#include <set>

namespace kelvane::store::detail {

namespace {

using Code = StoreError::Code;

std::string quotedName(std::string_view name) { return "\"" + std::string(name) + "\""; }

std::string columnList(const EntityDescription& entity) {
    std::string list = "\"pk\"";
    for (const auto& attribute : entity.attributes) list += ", " + quotedName(attribute.name);
    return list;
}

bool hasRelationships(const EntityDescription& entity) {
    return std::any_of(entity.attributes.begin(), entity.attributes.end(),
                       [](const AttributeDescription& a) { return a.relationshipTarget != nullptr; });
}

std::string deleteSql(const EntityDescription& entity) {
    return "DELETE FROM " + quotedName(entity.name) + " WHERE \"pk\" = ?";
}

std::string insertSql(const EntityDescription& entity) {
    std::string names, placeholders, conflict;
    for (const auto& attribute : entity.attributes) {
        if (!names.empty()) {
            names += ", ";
            placeholders += ", ";
        }
        names += quotedName(attribute.name);
        placeholders += "?";
        if (attribute.name != entity.uniqueAttribute) {
            conflict += (conflict.empty() ? "" : ", ") + quotedName(attribute.name) + " = excluded." +
                        quotedName(attribute.name);
        }
    }
    std::string sql = "INSERT INTO " + quotedName(entity.name) + " (" + names + ") VALUES (" + placeholders + ")";
    if (!entity.uniqueAttribute.empty()) {
        // One record per unique value: a second insert updates the first.
        sql += " ON CONFLICT(" + quotedName(entity.uniqueAttribute) + ") DO UPDATE SET " + conflict;
    }
    return sql + " RETURNING \"pk\"";
}

std::string updateSql(const EntityDescription& entity) {
    std::string assignments;
    for (const auto& attribute : entity.attributes) {
        assignments += (assignments.empty() ? "" : ", ") + quotedName(attribute.name) + " = ?";
    }
    return "UPDATE " + quotedName(entity.name) + " SET " + assignments + " WHERE \"pk\" = ?";
}

// Rolls back the open transaction unless told the work is done.
class TransactionGuard {
public:
    explicit TransactionGuard(SqliteConnection& connection) : connection_(connection) {}
    ~TransactionGuard() {
        if (!done_) connection_.rollbackQuietly();
    }
    void done() { done_ = true; }

private:
    SqliteConnection& connection_;
    bool done_ = false;
};

}  // namespace

ContextCore::ContextCore(const std::filesystem::path& path, ModelContext::Access access,
                         std::chrono::milliseconds busyTimeout, std::shared_ptr<SaveAnnouncer> announcer)
    : connection_(path,
                  access == ModelContext::Access::readOnly ? SqliteConnection::Mode::readOnly
                                                           : SqliteConnection::Mode::readWrite,
                  Code::cannotOpen),
      access_(access),
      announcer_(std::move(announcer)) {
    connection_.setBusyTimeout(busyTimeout);
    if (access_ == ModelContext::Access::readWrite) {
        connection_.enableWal(busyTimeout, Code::cannotOpen);
        connection_.execute("PRAGMA foreign_keys = ON", Code::cannotOpen);
    }
}

ContextCore::~ContextCore() {
    // Records outlive their context as plain detached objects.
    for (auto& [entity, registry] : registries_) {
        for (auto& [key, weak] : registry) {
            if (auto model = weak.lock()) model->context_.reset();
        }
    }
    for (auto& model : inserted_) {
        model->context_.reset();
        model->state_ = State::detached;
    }
}

std::shared_ptr<ContextCore> ContextCore::of(const PersistentModel& model) { return model.context_.lock(); }

void ContextCore::checkOwnership(const PersistentModel& model) const {
    auto owner = model.context_.lock();
    if (owner && owner.get() != this) {
        throw StoreError(Code::misuse, "A " + std::string(model.entity().name) + " record belongs to another context");
    }
}

bool ContextCore::hasPendingValues(const PersistentModel& model) const {
    return changedSet_.contains(&model) && model.storedValues() != model.savedValues_;
}

bool ContextCore::isCascadeDeleted(const PersistentModel& model) const {
    const auto& attributes = model.entity().attributes;
    std::vector<StoredValue> values;
    for (std::size_t i = 0; i < attributes.size(); ++i) {
        if (!attributes[i].cascadeDelete) continue;
        if (values.empty()) values = model.storedValues();
        if (auto owner = storedModel(values[i]); owner && owner->isDeleted()) return true;
    }
    return false;
}

std::vector<StoredValue> ContextCore::readRow(const EntityDescription& entity, const SqliteStatement& statement) {
    std::vector<StoredValue> values;
    values.reserve(entity.attributes.size());
    for (std::size_t i = 0; i < entity.attributes.size(); ++i) {
        StoredValue value = statement.column(static_cast<int>(i + 1));
        if (const auto target = entity.attributes[i].relationshipTarget) {
            const auto* key = std::get_if<std::int64_t>(&value);
            auto related = key ? loadByKey(target(), *key) : nullptr;
            value = related ? StoredValue{std::move(related)} : StoredValue{};
        }
        values.push_back(std::move(value));
    }
    return values;
}

std::shared_ptr<PersistentModel> ContextCore::materialize(const EntityDescription& entity, std::int64_t key,
                                                          std::vector<StoredValue> values) {
    auto& registry = registries_[&entity];
    if (auto it = registry.find(key); it != registry.end()) {
        if (auto existing = it->second.lock()) {
            // Pending changes win over the file; otherwise show the latest saved values.
            if (existing->state_ == State::stored && !hasPendingValues(*existing)) {
                existing->assignStored(values);
                existing->savedValues_ = std::move(values);
            }
            return existing;
        }
    }
    auto model = entity.makeEmpty();
    model->assignStored(values);
    model->savedValues_ = std::move(values);
    model->state_ = State::stored;
    model->rowKey_ = key;
    model->context_ = weak_from_this();
    registry[key] = model;
    return model;
}

std::shared_ptr<PersistentModel> ContextCore::loadByKey(const EntityDescription& entity, std::int64_t key) {
    auto& registry = registries_[&entity];
    if (auto it = registry.find(key); it != registry.end()) {
        if (auto existing = it->second.lock()) return existing;
    }
    auto statement = connection_.prepare(
        "SELECT " + columnList(entity) + " FROM " + quotedName(entity.name) + " WHERE \"pk\" = ?", Code::fetchFailed);
    statement.bind(1, key);
    if (!statement.step()) return nullptr;
    auto values = readRow(entity, statement);
    return materialize(entity, key, std::move(values));
}

std::vector<std::shared_ptr<PersistentModel>> ContextCore::fetch(const EntityDescription& entity,
                                                                 const CompiledQuery& query) {
    std::string sql = "SELECT " + columnList(entity) + " FROM " + quotedName(entity.name);
    if (!query.where.empty()) sql += " WHERE " + query.where;
    sql += " ORDER BY ";
    if (!query.orderBy.empty()) sql += query.orderBy + ", ";
    sql += "\"pk\" ASC";

    std::vector<std::shared_ptr<PersistentModel>> result;
    std::unordered_set<const PersistentModel*> seen;
    bool reorder = false;
    const auto accepts = [&](const PersistentModel& model) { return !query.matches || query.matches(model); };
    const bool checkCascade = !deleted_.empty() && std::any_of(entity.attributes.begin(), entity.attributes.end(),
                                                               [](const auto& a) { return a.cascadeDelete; });
    try {
        // One read transaction, so related records come from the same moment.
        const bool ownTransaction = !connection_.inTransaction();
        if (ownTransaction) connection_.execute("BEGIN", Code::fetchFailed);
        TransactionGuard guard(connection_);
        auto statement = connection_.prepare(sql, Code::fetchFailed);
        statement.bindAll(query.bindings);
        while (statement.step()) {
            const std::int64_t key = statement.columnInt(0);
            auto model = materialize(entity, key, readRow(entity, statement));
            seen.insert(model.get());
            if (model->state_ != State::stored) continue;
            if (checkCascade && isCascadeDeleted(*model)) continue;
            const bool pending = hasPendingValues(*model);
            if ((pending || !query.exact) && !accepts(*model)) continue;
            reorder = reorder || pending;
            result.push_back(std::move(model));
        }
        if (ownTransaction) connection_.execute("COMMIT", Code::fetchFailed);
        guard.done();
    } catch (const StoreError& error) {
        throw StoreError(Code::fetchFailed, error.what(), error.sqliteCode());
    }

    // Records whose unsaved values match although their stored ones did not.
    for (const auto& model : changed_) {
        if (&model->entity() != &entity || seen.contains(model.get()) || model->state_ != State::stored) continue;
        if (checkCascade && isCascadeDeleted(*model)) continue;
        if (!accepts(*model)) continue;
        result.push_back(model);
        reorder = true;
    }
    for (const auto& model : inserted_) {
        if (&model->entity() != &entity) continue;
        if (checkCascade && isCascadeDeleted(*model)) continue;
        if (!accepts(*model)) continue;
        result.push_back(model);
        reorder = true;
    }

    if (reorder) {
        // The store's order: saved records by key, then unsaved ones as inserted.
        std::map<const PersistentModel*, std::size_t> insertPosition;
        for (std::size_t i = 0; i < inserted_.size(); ++i) insertPosition[inserted_[i].get()] = i;
        const auto storeOrder = [&](const PersistentModel& model) {
            auto it = insertPosition.find(&model);
            return it == insertPosition.end() ? std::pair<int, std::int64_t>{0, model.rowKey_}
                                              : std::pair<int, std::int64_t>{1, static_cast<std::int64_t>(it->second)};
        };
        std::stable_sort(result.begin(), result.end(), [&](const auto& a, const auto& b) {
            if (query.compare) {
                if (int c = query.compare(*a, *b); c != 0) return c < 0;
            }
            return storeOrder(*a) < storeOrder(*b);
        });
    }
    return result;
}

void ContextCore::insert(const std::shared_ptr<PersistentModel>& model) {
    if (!model) throw StoreError(Code::misuse, "Cannot insert an empty record reference");
    checkOwnership(*model);
    switch (model->state_) {
        case State::detached:
            model->state_ = State::pendingInsert;
            model->context_ = weak_from_this();
            inserted_.push_back(model);
            break;
        case State::pendingDelete:
            model->state_ = State::stored;
            std::erase(deleted_, model);
            break;
        case State::deleted:
            throw StoreError(Code::misuse, "Cannot insert a " + std::string(model->entity().name) +
                                               " record that has been deleted; make a new one");
        case State::pendingInsert:
        case State::stored: break;
    }
}

void ContextCore::remove(const std::shared_ptr<PersistentModel>& model) {
    if (!model) return;
    checkOwnership(*model);
    switch (model->state_) {
        case State::pendingInsert:
            std::erase(inserted_, model);
            model->state_ = State::detached;
            model->context_.reset();
            break;
        case State::stored:
            model->state_ = State::pendingDelete;
            deleted_.push_back(model);
            break;
        case State::detached:
        case State::pendingDelete:
        case State::deleted: break;
    }
}

void ContextCore::markChanged(PersistentModel& model) {
    if (changedSet_.insert(&model).second) changed_.push_back(model.shared_from_this());
}

bool ContextCore::hasChanges() const {
    if (!inserted_.empty() || !deleted_.empty()) return true;
    return std::any_of(changed_.begin(), changed_.end(), [this](const auto& model) {
        return model->state_ == State::stored && hasPendingValues(*model);
    });
}

std::vector<StoredValue> ContextCore::keysForRelationships(
    const std::vector<StoredValue>& values, const std::unordered_map<const PersistentModel*, std::int64_t>& newKeys) const {
    std::vector<StoredValue> bound = values;
    for (auto& value : bound) {
        auto related = storedModel(value);
        if (!related) continue;
        std::int64_t key = 0;
        if (related->state_ == State::stored && related->context_.lock().get() == this) {
            key = related->rowKey_;
        } else if (auto it = newKeys.find(related.get()); it != newKeys.end()) {
            key = it->second;
        }
        if (key == 0) {
            throw StoreError(Code::misuse, "A record refers to a " + std::string(related->entity().name) +
                                               " record that is not saved in this context");
        }
        value = key;
    }
    return bound;
}

void ContextCore::save() {
    // Inserts of snapshots whose item is being deleted would only be deleted again.
    std::vector<PlannedInsert> inserts;
    std::vector<std::shared_ptr<PersistentModel>> dropped;
    for (const auto& model : inserted_) {
        if (isCascadeDeleted(*model)) {
            dropped.push_back(model);
        } else {
            inserts.push_back({model, model->storedValues(), 0});
        }
    }
    // Related records first, so every reference has its key when written.
    std::stable_sort(inserts.begin(), inserts.end(), [](const PlannedInsert& a, const PlannedInsert& b) {
        return !hasRelationships(a.model->entity()) && hasRelationships(b.model->entity());
    });
    std::vector<std::shared_ptr<PersistentModel>> updates;
    for (const auto& model : changed_) {
        if (model->state_ == State::stored && hasPendingValues(*model) && !isCascadeDeleted(*model)) {
            updates.push_back(model);
        }
    }
    if (inserts.empty() && dropped.empty() && updates.empty() && deleted_.empty()) {
        forgetPending();
        return;
    }
    if (access_ == ModelContext::Access::readOnly) {
        rollback();
        throw StoreError(Code::readOnly, "This store context is read-only; its unsaved changes were discarded");
    }

    // One prepared statement per entity and kind: a batch of thousands of
    // records spends its time writing, not building and compiling SQL.
    enum class Kind { remove, insert, update };
    std::map<std::pair<Kind, const EntityDescription*>, std::unique_ptr<SqliteStatement>> prepared;
    const auto statementFor = [&](Kind kind, const EntityDescription& entity) -> SqliteStatement& {
        auto& slot = prepared[{kind, &entity}];
        if (slot) {
            slot->reset();
        } else {
            const std::string sql = kind == Kind::remove   ? deleteSql(entity)
                                    : kind == Kind::insert ? insertSql(entity)
                                                           : updateSql(entity);
            slot = std::make_unique<SqliteStatement>(connection_.handle(), sql, Code::saveFailed);
        }
        return *slot;
    };
    std::unordered_map<const PersistentModel*, std::int64_t> newKeys;
    try {
        connection_.execute("BEGIN IMMEDIATE", Code::saveFailed);
        TransactionGuard guard(connection_);
        for (const auto& model : deleted_) {
            auto& statement = statementFor(Kind::remove, model->entity());
            statement.bind(1, model->rowKey_);
            statement.step();
        }
        for (auto& insert : inserts) {
            auto& statement = statementFor(Kind::insert, insert.model->entity());
            statement.bindAll(keysForRelationships(insert.values, newKeys));
            if (!statement.step()) throw StoreError(Code::saveFailed, "An insert returned no record key");
            insert.key = statement.columnInt(0);
            newKeys[insert.model.get()] = insert.key;
            while (statement.step()) {
            }
        }
        for (const auto& model : updates) {
            auto& statement = statementFor(Kind::update, model->entity());
            auto values = keysForRelationships(model->storedValues(), newKeys);
            statement.bindAll(values);
            statement.bind(static_cast<int>(values.size() + 1), model->rowKey_);
            statement.step();
        }
        connection_.execute("COMMIT", Code::saveFailed);
        guard.done();
    } catch (const StoreError& error) {
        // The guard has already rolled the transaction back.
        rollback();
        throw StoreError(Code::saveFailed, std::string("Could not save the store; nothing of this save was kept: ") + error.what(),
                         error.sqliteCode());
    }
    finishSave(inserts, updates, dropped);
}

void ContextCore::finishSave(std::vector<PlannedInsert>& inserts,
                             const std::vector<std::shared_ptr<PersistentModel>>& updates,
                             const std::vector<std::shared_ptr<PersistentModel>>& dropped) {
    std::set<std::string_view> touched;
    for (const auto& model : deleted_) {
        model->state_ = State::deleted;
        registries_[&model->entity()].erase(model->rowKey_);
        touched.insert(model->entity().name);
        // The file's cascade may have removed records this context never loaded.
        for (const EntityDescription* entity : allEntities()) {
            for (const auto& attribute : entity->attributes) {
                if (attribute.cascadeDelete && &attribute.relationshipTarget() == &model->entity()) {
                    touched.insert(entity->name);
                }
            }
        }
    }
    // Records that went with a deleted record (the file's cascade did the same).
    for (auto& [entity, registry] : registries_) {
        for (auto it = registry.begin(); it != registry.end();) {
            auto model = it->second.lock();
            if (!model) {
                it = registry.erase(it);
            } else if (!deleted_.empty() && isCascadeDeleted(*model)) {
                model->state_ = State::deleted;
                touched.insert(model->entity().name);
                it = registry.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const auto& model : dropped) model->state_ = State::deleted;
    for (auto& insert : inserts) {
        auto& model = *insert.model;
        auto& registry = registries_[&model.entity()];
        if (auto it = registry.find(insert.key); it != registry.end()) {
            // The insert met a record with the same unique value: that record now holds these values.
            if (auto other = it->second.lock(); other && other != insert.model) {
                other->assignStored(insert.values);
                other->savedValues_ = insert.values;
            }
        }
        model.state_ = State::stored;
        model.rowKey_ = insert.key;
        model.savedValues_ = std::move(insert.values);
        registry[insert.key] = insert.model;
        touched.insert(model.entity().name);
    }
    for (const auto& model : updates) {
        model->savedValues_ = model->storedValues();
        touched.insert(model->entity().name);
    }
    forgetPending();

    SaveNotification notification;
    notification.context = owner_;
    notification.changedEntities.assign(touched.begin(), touched.end());
    announcer_->announce(notification);
}

void ContextCore::rollback() {
    for (const auto& model : inserted_) {
        model->state_ = State::detached;
        model->context_.reset();
    }
    for (const auto& model : deleted_) {
        if (model->state_ == State::pendingDelete) model->state_ = State::stored;
    }
    for (const auto& model : changed_) {
        if (model->state_ == State::stored) model->assignStored(model->savedValues_);
    }
    forgetPending();
}

void ContextCore::forgetPending() {
    inserted_.clear();
    deleted_.clear();
    changed_.clear();
    changedSet_.clear();
}

std::vector<std::shared_ptr<PersistentModel>> fetchObjects(ContextCore& core, const EntityDescription& entity,
                                                           const CompiledQuery& query) {
    return core.fetch(entity, query);
}

}  // namespace kelvane::store::detail
