// SPDX-License-Identifier: MIT
#include "operations/mounts/RegisteredMounts.h"

#include "operations/threads/SaveFollower.h"
#include "operations/threads/WorkerJobs.h"
#include "platform/Logger.h"
#include "store/ModelContainer.h"
#include "store/RegisteredItem.h"

#include <QPointer>

#include <algorithm>
#include <exception>

namespace kelvane::operations {

namespace {

bool sameItem(const RegisteredPath& a, const RegisteredPath& b) { return a.path == b.path && a.kind == b.kind; }

bool contains(const std::vector<RegisteredPath>& items, const RegisteredPath& item)
{
    return std::any_of(items.begin(), items.end(), [&](const RegisteredPath& other) { return sameItem(other, item); });
}

}  // namespace

struct RegisteredMounts::Batch {
    std::vector<RegisteredPath> toServe;
    std::vector<RegisteredPath> released;
    std::vector<RegisteredPath> remaining;
    std::vector<MountOutcome> outcomes;  // of toServe, in its order
    bool announce = false;               // refusals of new items are told
};

RegisteredMounts::RegisteredMounts(store::ModelContainer& container, MountKeeper keeper, QObject* parent)
    : QObject(parent), container_(container), keeper_(std::make_shared<const MountKeeper>(std::move(keeper)))
{
    new SaveFollower(container_, {store::RegisteredItem::entityName}, [this] { follow(); }, this);
    follow();
}

RegisteredMounts::~RegisteredMounts() = default;

std::optional<MountOutcome> RegisteredMounts::outcome(const std::filesystem::path& item) const
{
    const auto found = outcomes_.find(item);
    if (found == outcomes_.end())
        return std::nullopt;
    return found->second;
}

void RegisteredMounts::serveAgain(const RegisteredPath& item, std::function<void(const MountOutcome&)> done)
{
    runForOutcome<MountOutcome>(
        [keeper = keeper_, item] { return keeper->ensureServed(item.path, item.kind); },
        [self = QPointer<RegisteredMounts>(this), path = item.path, done = std::move(done)](
            TaskOutcome<MountOutcome> outcome) {
            if (!self)
                return;
            MountOutcome result;
            try {
                result = std::move(outcome).get();
            } catch (const std::exception& error) {
                platform::Logger::data().error("mounting again failed: %{public}s", error.what());
                result = MountRefusal{MountRefusal::Kind::mountFailed, path, error.what()};
            }
            self->outcomes_.insert_or_assign(path, result);
            // The caller looks at its rows again first, so that those who
            // follow `changed` find them being looked at already.
            if (done)
                done(result);
            if (self)
                emit self->changed();
        });
}

void RegisteredMounts::follow()
{
    if (working_) {
        again_ = true;
        return;
    }
    std::vector<RegisteredPath> current;
    try {
        current = registeredPaths(container_.mainContext());
    } catch (const std::exception& error) {
        platform::Logger::data().error("registered items fetch failed: %{public}s", error.what());
        return;
    }
    Batch batch;
    batch.announce = std::exchange(followed_, true);
    for (const RegisteredPath& item : current) {
        const auto found = outcomes_.find(item.path);
        if (found == outcomes_.end() || !std::holds_alternative<MountServed>(found->second) || !contains(known_, item))
            batch.toServe.push_back(item);
    }
    for (const RegisteredPath& item : known_)
        if (!contains(current, item))
            batch.released.push_back(item);
    batch.remaining = current;
    known_ = std::move(current);
    if (batch.toServe.empty() && batch.released.empty())
        return;

    working_ = true;
    runForOutcome<Batch>(
        [keeper = keeper_, batch = std::move(batch)]() mutable {
            batch.outcomes = keeper->ensureServed(batch.toServe);
            for (const RegisteredPath& item : batch.released)
                keeper->releaseIfUnneeded(item, batch.remaining);
            return std::move(batch);
        },
        [self = QPointer<RegisteredMounts>(this)](TaskOutcome<Batch> outcome) {
            if (!self)
                return;
            self->working_ = false;
            try {
                Batch done = std::move(outcome).get();
                for (const RegisteredPath& item : done.released)
                    self->outcomes_.erase(item.path);
                for (std::size_t i = 0; i < done.toServe.size() && i < done.outcomes.size(); ++i) {
                    const auto before = self->outcomes_.find(done.toServe[i].path);
                    const bool isNew = done.announce && before == self->outcomes_.end();
                    self->outcomes_.insert_or_assign(done.toServe[i].path, done.outcomes[i]);
                    if (const auto* refusal = std::get_if<MountRefusal>(&done.outcomes[i]); refusal && isNew)
                        emit self->newItemRefused(done.toServe[i].path, *refusal);
                }
            } catch (const std::exception& error) {
                platform::Logger::data().error("keeping the mounts failed: %{public}s", error.what());
            }
            emit self->changed();
            if (std::exchange(self->again_, false))
                self->follow();
        });
}

}  // namespace kelvane::operations
