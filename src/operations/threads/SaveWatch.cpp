// SPDX-License-Identifier: MIT
#include "operations/threads/SaveWatch.h"

#include "operations/threads/MainThread.h"
#include "store/ModelContainer.h"

#include <algorithm>
#include <atomic>
#include <utility>

namespace kelvane::operations {

struct SaveWatch::State {
    std::function<void()> changed;  // called and cleared on the main thread only
    std::atomic<bool> queued{false};
};

SaveWatch::SaveWatch(store::ModelContainer& container, std::vector<std::string_view> entities,
                     std::function<void()> changed)
    : container_(container), state_(std::make_shared<State>())
{
    state_->changed = std::move(changed);
    token_ = container_.addSaveObserver([state = state_, entities = std::move(entities)](
                                            const store::SaveNotification& saved) {
        if (std::none_of(entities.begin(), entities.end(),
                         [&](std::string_view entity) { return saved.touches(entity); }))
            return;
        if (state->queued.exchange(true))
            return;  // a call is on its way and will see this save too
        postToMainThread([state] {
            state->queued = false;
            if (state->changed)
                state->changed();
        });
    });
}

SaveWatch::~SaveWatch()
{
    container_.removeSaveObserver(token_);
    state_->changed = nullptr;
}

}  // namespace kelvane::operations
