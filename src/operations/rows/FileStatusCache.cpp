// SPDX-License-Identifier: MIT
#include "operations/rows/FileStatusCache.h"

#include <atomic>

namespace kelvane::operations {

FileStatusCache::FileStatusCache(QObject* parent) : QObject(parent), entries_(std::make_shared<EntryMap>()) {}

FileStatusCache::Entry FileStatusCache::entry(const RowId& id) const
{
    const auto it = entries_->find(id);
    return it == entries_->end() ? Entry{} : it->second;
}

void FileStatusCache::setVersion(long long value)
{
    if (value == version_)
        return;
    version_ = value;
    emit versionChanged();
}

FileStatusCache::EntryMap& FileStatusCache::mutableEntries()
{
    // Copy on write: a snapshot handed to a worker stays as it was. Only this
    // thread makes new references, so a count of 1 cannot grow behind our
    // back; the fence pairs with the release of a worker's last reference.
    if (entries_.use_count() > 1)
        entries_ = std::make_shared<EntryMap>(*entries_);
    std::atomic_thread_fence(std::memory_order_acquire);
    return *entries_;
}

void FileStatusCache::setEntries(std::vector<std::pair<RowId, Entry>> pairs)
{
    if (pairs.empty())
        return;
    EntryMap& map = mutableEntries();
    for (auto& [id, entry] : pairs)
        map.insert_or_assign(std::move(id), std::move(entry));
    setVersion(version_ + 1);
}

void FileStatusCache::setEntry(const Entry& entry, const RowId& id)
{
    mutableEntries().insert_or_assign(id, entry);
    setVersion(version_ + 1);
}

void FileStatusCache::removeAll()
{
    if (entries_.use_count() > 1) {
        entries_ = std::make_shared<EntryMap>();
    } else {
        std::atomic_thread_fence(std::memory_order_acquire);
        entries_->clear();
    }
    setVersion(version_ + 1);
}

}  // namespace kelvane::operations
