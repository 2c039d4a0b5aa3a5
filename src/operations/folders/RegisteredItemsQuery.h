// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

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

    // Fetches now.
    void refetch();

private:
    store::ModelContainer& container_;
    MainWindowModel& model_;
};

}  // namespace kelvane::operations
