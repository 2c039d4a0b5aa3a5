// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>
#include <stop_token>
#include <vector>

namespace kelvane::operations {

// One piece of asynchronous work started on the main thread: anyone may ask
// it to stop (from any thread), and the main thread learns when it has ended.
// Copies share the same work; two handles are equal when they name the same
// work.
class TaskHandle {
public:
    TaskHandle();

    // Thread-safe. The work stops at its next check; it still ends normally.
    void cancel() const;
    bool isCancelled() const;
    std::stop_token stopToken() const;

    // Main thread only.
    bool isFinished() const;
    // Runs `callback` once the work has ended (at once when it already has).
    void onFinished(std::function<void()> callback) const;
    // Called once by whoever runs the work, on the main thread.
    void finish() const;

    friend bool operator==(const TaskHandle& a, const TaskHandle& b) { return a.state_ == b.state_; }

private:
    struct State {
        std::stop_source stop;
        bool finished = false;
        std::vector<std::function<void()>> callbacks;
    };
    std::shared_ptr<State> state_;
};

// Cancels `child` when `parent` is cancelled, for as long as the link lives.
class CancellationLink {
public:
    CancellationLink(const TaskHandle& parent, TaskHandle child);

private:
    struct Cancel {
        TaskHandle child;
        void operator()() const { child.cancel(); }
    };
    std::stop_callback<Cancel> callback_;
};

}  // namespace kelvane::operations
