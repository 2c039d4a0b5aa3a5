// SPDX-License-Identifier: MIT
#pragma once

#include "store/ModelContainer.h"

#include <cstdint>
#include <map>
#include <mutex>

namespace kelvane::store::detail {

// The container's list of save observers, shared with its contexts so a
// context that outlives the container still saves safely.
class SaveAnnouncer {
public:
    std::uint64_t add(ModelContainer::SaveObserver observer);
    void remove(std::uint64_t token);
    // Calls every observer registered at the time of the call.
    void announce(const SaveNotification& notification) noexcept;

private:
    std::mutex mutex_;
    std::map<std::uint64_t, ModelContainer::SaveObserver> observers_;
    std::uint64_t nextToken_ = 1;
};

}  // namespace kelvane::store::detail
