// SPDX-License-Identifier: MIT
#include "operations/folders/RegisteredItemsQuery.h"

#include "operations/threads/MainThread.h"
#include "operations/windows/MainWindowModel.h"
#include "platform/Logger.h"
#include "store/ModelContainer.h"
#include "store/RegisteredItem.h"

#include <exception>

namespace kelvane::operations {

RegisteredItemsQuery::RegisteredItemsQuery(store::ModelContainer& container, MainWindowModel& model, QObject* parent)
    : QObject(parent), container_(container), model_(model), alive_(std::make_shared<std::atomic<bool>>(true))
{
    // Saves are announced on the thread that saved; the list is fetched on
    // the main thread, once however many saves came in between.
    observerToken_ = container_.addSaveObserver([this, alive = alive_](const store::SaveNotification& saved) {
        if (!saved.touches<store::RegisteredItem>())
            return;
        postToMainThread([this, alive] {
            if (!*alive || refetchQueued_)
                return;
            refetchQueued_ = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    refetchQueued_ = false;
                    refetch();
                },
                Qt::QueuedConnection);
        });
    });
    refetch();
}

RegisteredItemsQuery::~RegisteredItemsQuery()
{
    *alive_ = false;
    container_.removeSaveObserver(observerToken_);
}

void RegisteredItemsQuery::refetch()
{
    using Item = store::RegisteredItem;
    try {
        model_.setItems(container_.mainContext().fetch(
            store::FetchDescriptor<Item>({{Item::Attributes::registeredAt, store::SortOrder::reverse}})));
    } catch (const std::exception& error) {
        platform::Logger::data().error("registered items fetch failed: %{public}s", error.what());
    }
}

}  // namespace kelvane::operations
