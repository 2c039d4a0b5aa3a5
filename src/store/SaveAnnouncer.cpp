// SPDX-License-Identifier: MIT
#include "store/SaveAnnouncer.h"

#include <vector>

namespace kelvane::store::detail {

std::uint64_t SaveAnnouncer::add(ModelContainer::SaveObserver observer) {
    std::lock_guard lock(mutex_);
    const auto token = nextToken_++;
    observers_.emplace(token, std::move(observer));
    return token;
}

void SaveAnnouncer::remove(std::uint64_t token) {
    std::lock_guard lock(mutex_);
    observers_.erase(token);
}

void SaveAnnouncer::announce(const SaveNotification& notification) noexcept {
    std::vector<ModelContainer::SaveObserver> observers;
    {
        // Called outside the lock, so an observer may add or remove observers.
        std::lock_guard lock(mutex_);
        for (const auto& [token, observer] : observers_) observers.push_back(observer);
    }
    for (const auto& observer : observers) observer(notification);
}

}  // namespace kelvane::store::detail
