// SPDX-License-Identifier: MIT
#include "operations/threads/SaveFollower.h"

#include "operations/threads/MainThread.h"
#include "store/ModelContainer.h"

#include <algorithm>

namespace kelvane::operations {

SaveFollower::SaveFollower(store::ModelContainer& container, std::vector<std::string_view> entityNames,
                           std::function<void()> refetch, QObject* parent)
    : QObject(parent), container_(container), refetch_(std::move(refetch)),
      alive_(std::make_shared<std::atomic<bool>>(true))
{
    observerToken_ = container_.addSaveObserver(
        [this, alive = alive_, names = std::move(entityNames)](const store::SaveNotification& saved) {
            if (std::none_of(names.begin(), names.end(), [&](std::string_view name) { return saved.touches(name); }))
                return;
            // The flag is read on the main thread only, where this object lives.
            postToMainThread([this, alive] {
                if (!*alive || refetchQueued_)
                    return;
                refetchQueued_ = true;
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        refetchQueued_ = false;
                        refetch_();
                    },
                    Qt::QueuedConnection);
            });
        });
}

SaveFollower::~SaveFollower()
{
    *alive_ = false;
    container_.removeSaveObserver(observerToken_);
}

}  // namespace kelvane::operations
