// SPDX-License-Identifier: MIT
#include "operations/threads/TaskHandle.h"

namespace kelvane::operations {

TaskHandle::TaskHandle() : state_(std::make_shared<State>()) {}

void TaskHandle::cancel() const { state_->stop.request_stop(); }

bool TaskHandle::isCancelled() const { return state_->stop.stop_requested(); }

std::stop_token TaskHandle::stopToken() const { return state_->stop.get_token(); }

bool TaskHandle::isFinished() const { return state_->finished; }

void TaskHandle::onFinished(std::function<void()> callback) const
{
    if (state_->finished)
        callback();
    else
        state_->callbacks.push_back(std::move(callback));
}

void TaskHandle::finish() const
{
    if (state_->finished)
        return;
    state_->finished = true;
    auto callbacks = std::move(state_->callbacks);
    state_->callbacks.clear();
    for (auto& callback : callbacks)
        callback();
}

CancellationLink::CancellationLink(const TaskHandle& parent, TaskHandle child)
    : callback_(parent.stopToken(), Cancel{std::move(child)})
{
}

}  // namespace kelvane::operations
