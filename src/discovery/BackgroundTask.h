#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <stop_token>
#include <thread>

namespace kelvane::discovery {

// Work on a thread of its own that the caller can cancel, wait for, or be
// told about. The work gets a stop token and should check it often; going
// away cancels the work and waits for it to end.
template <typename T>
class BackgroundTask {
public:
    using Work = std::function<T(std::stop_token)>;

    // `onFinished` runs on the worker thread once the result (or failure) is
    // ready; a caller with an event loop posts from there to its own thread.
    explicit BackgroundTask(Work work, std::function<void()> onFinished = {}) {
        std::packaged_task<T(std::stop_token)> task(std::move(work));
        future_ = task.get_future();
        thread_ = std::jthread([task = std::move(task), onFinished = std::move(onFinished)](std::stop_token stop) mutable {
            task(std::move(stop));
            if (onFinished) onFinished();
        });
    }

    BackgroundTask(BackgroundTask&&) noexcept = default;
    BackgroundTask& operator=(BackgroundTask&&) noexcept = default;

    void cancel() { thread_.request_stop(); }

    bool isFinished() const { return waitFor(std::chrono::milliseconds(0)); }

    // True when the result is ready within `timeout`.
    template <typename Rep, typename Period>
    bool waitFor(std::chrono::duration<Rep, Period> timeout) const {
        return future_.wait_for(timeout) == std::future_status::ready;
    }

    // Waits for the end; returns the result or throws the work's failure.
    // Once only.
    T get() { return future_.get(); }

private:
    std::future<T> future_;
    std::jthread thread_;  // last: joined before the future goes away
};

}  // namespace kelvane::discovery
