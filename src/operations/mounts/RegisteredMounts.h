// SPDX-License-Identifier: MIT
#pragma once

#include "operations/mounts/MountKeeper.h"

#include <QObject>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace kelvane::store {
class ModelContainer;
}

namespace kelvane::operations {

// Keeps the mounts the registered items need, for the window's process:
// every item at start-up, each new one as soon as it is saved (whichever
// sheet registered it), and a mount Kelvane made goes once its last item is
// unregistered and nothing compressed is left in it (MountKeeper). The
// keeper works on a worker, one batch at a time; the outcomes come back to
// the main thread. An item that was refused is tried again at the next
// change of the registrations.
class RegisteredMounts final : public QObject {
    Q_OBJECT
public:
    // `container` must outlive it. Starts the first batch at once.
    explicit RegisteredMounts(store::ModelContainer& container, MountKeeper keeper = MountKeeper(),
                              QObject* parent = nullptr);
    ~RegisteredMounts() override;

    // The last outcome for a registered item's path, if it was looked at.
    std::optional<MountOutcome> outcome(const std::filesystem::path& item) const;
    // A batch is running.
    bool isWorking() const { return working_; }

    // Makes sure a live mount serves `item` now, on a worker, whatever was
    // known of it (its daemon may have been killed since): the user asked.
    // The outcome is kept, `done` gets it unless this object went first, and
    // `changed` follows.
    void serveAgain(const RegisteredPath& item, std::function<void(const MountOutcome&)> done);

signals:
    // A batch ended; outcomes may have changed.
    void changed();
    // An item registered while this process runs cannot be served: nothing
    // in it will be compressed. (Items refused at start-up are only logged.)
    void newItemRefused(const std::filesystem::path& item, const kelvane::operations::MountRefusal& refusal);

private:
    void follow();
    struct Batch;

    store::ModelContainer& container_;
    std::shared_ptr<const MountKeeper> keeper_;
    std::vector<RegisteredPath> known_;
    std::map<std::filesystem::path, MountOutcome> outcomes_;
    bool working_ = false;
    bool again_ = false;
    bool followed_ = false;  // the registrations were looked at once (start-up)
};

}  // namespace kelvane::operations
