// SPDX-License-Identifier: MIT
#include "operations/folders/RegisteredItemsQuery.h"

#include "operations/threads/SaveFollower.h"
#include "operations/windows/MainWindowModel.h"
#include "platform/Logger.h"
#include "store/ModelContainer.h"
#include "store/RegisteredItem.h"

#include <exception>

namespace kelvane::operations {

RegisteredItemsQuery::RegisteredItemsQuery(store::ModelContainer& container, MainWindowModel& model, QObject* parent)
    : QObject(parent), container_(container), model_(model)
{
    new SaveFollower(container_, {store::RegisteredItem::entityName}, [this] { refetch(); }, this);
    refetch();
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
