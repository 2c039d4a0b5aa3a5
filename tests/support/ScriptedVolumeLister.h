// SPDX-License-Identifier: MIT
#pragma once

// Header-only: a volume listing whose answers a test gives. Each listing
// hands out the next pushed list (an empty one when none is left); while the
// gate is shut, listings wait at it.

#include "volumes/StorageVolumeDetector.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace kelvane::test {

class ScriptedVolumeLister {
public:
    // Listings run on worker threads and may outlive the test's object.
    volumes::VolumeLister lister() const
    {
        return [state = state_] {
            std::unique_lock lock(state->mutex);
            ++state->calls;
            state->gateOpened.wait(lock, [&] { return state->gateOpen; });
            std::vector<volumes::StorageVolume> list;
            if (!state->lists.empty()) {
                list = std::move(state->lists.front());
                state->lists.pop_front();
            }
            ++state->finished;
            return list;
        };
    }
    void push(std::vector<volumes::StorageVolume> list)
    {
        const std::lock_guard lock(state_->mutex);
        state_->lists.push_back(std::move(list));
    }
    void setGate(bool open)
    {
        const std::lock_guard lock(state_->mutex);
        state_->gateOpen = open;
        state_->gateOpened.notify_all();
    }
    // Listings begun, and listings that have handed back their list.
    int calls() const
    {
        const std::lock_guard lock(state_->mutex);
        return state_->calls;
    }
    int finished() const
    {
        const std::lock_guard lock(state_->mutex);
        return state_->finished;
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable gateOpened;
        bool gateOpen = true;
        std::deque<std::vector<volumes::StorageVolume>> lists;
        int calls = 0;
        int finished = 0;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace kelvane::test
