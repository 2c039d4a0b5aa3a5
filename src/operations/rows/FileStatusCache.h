// SPDX-License-Identifier: MIT
#pragma once

#include "operations/rows/FileStatusEntry.h"

#include <QObject>

#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kelvane::operations {

// The last known compression state of every table row's file, keyed by the
// row's id. One per process, created empty at start-up, never persisted.
// Main thread only. Every mutation raises `version` exactly once (also when
// no value changed), so one batch of results costs observers one update.
class FileStatusCache final : public QObject {
    Q_OBJECT
public:
    using Entry = FileStatusEntry;
    using EntryMap = FileStatusEntries;

    explicit FileStatusCache(QObject* parent = nullptr);

    const EntryMap& entries() const { return *entries_; }
    // The entry under `id`, or notInspected when there is none.
    Entry entry(const RowId& id) const;
    // The entries as they are now, shared and never changed afterwards: a
    // worker may read the snapshot while the cache moves on.
    std::shared_ptr<const EntryMap> snapshot() const { return entries_; }

    long long version() const { return version_; }
    // Announced only when it differs.
    void setVersion(long long value);

    // Stores the pairs in order (a later pair for the same id wins), then
    // raises the version once; an empty list changes nothing. The pairs are
    // moved into the cache.
    void setEntries(std::vector<std::pair<RowId, Entry>> pairs);
    void setEntry(const Entry& entry, const RowId& id);
    void removeAll();

signals:
    void versionChanged();

private:
    EntryMap& mutableEntries();

    std::shared_ptr<EntryMap> entries_;
    long long version_ = 0;
};

}  // namespace kelvane::operations
