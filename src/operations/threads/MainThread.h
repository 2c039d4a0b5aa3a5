// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <stop_token>

class QThreadPool;

namespace kelvane::operations {

// How work moves between the main thread (where every observable object
// lives) and the workers. The main thread never waits for a worker; a worker
// may wait for the main thread.

// Queues `work` to run on the application's main thread, after everything
// queued before it from the same thread. Dropped when there is no application.
void postToMainThread(std::function<void()> work);

// Runs `work` on the main thread and waits until it has run, or until `stop`
// is requested (the work then still runs later). Never call it on the main
// thread. Returns true when the work has run.
bool runOnMainThreadAndWait(std::function<void()> work, std::stop_token stop);

bool isMainThread();

// The pool that runs the inspection and compression workers. Each job sizes
// itself (at most 8 workers); the pool has room for several jobs at once so
// that one never waits behind another.
QThreadPool& workerPool();

// The number of processors the system has online (at least 1).
int activeProcessorCount();

}  // namespace kelvane::operations
