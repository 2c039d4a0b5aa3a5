// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <atomic>
#include <cstdint>
#include <memory>

namespace kelvane::store {
class ModelContainer;
}

namespace kelvane::operations {

class MainWindowModel;

// The main window's live list of registered items: every item, newest
// registration first, fetched again after each save that touches the items
// and handed to the window model. A failed fetch keeps the last list.
class RegisteredItemsQuery final : public QObject {
    Q_OBJECT
public:
    RegisteredItemsQuery(store::ModelContainer& container, MainWindowModel& model, QObject* parent = nullptr);
    ~RegisteredItemsQuery() override;

    // Fetches now.
    void refetch();

private:
    store::ModelContainer& container_;
    MainWindowModel& model_;
    std::uint64_t observerToken_ = 0;
    std::shared_ptr<std::atomic<bool>> alive_;
    bool refetchQueued_ = false;
};

}  // namespace kelvane::operations
