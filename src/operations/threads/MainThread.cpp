// SPDX-License-Identifier: MIT
#include "operations/threads/MainThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QThreadPool>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace kelvane::operations {

void postToMainThread(std::function<void()> work)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}

bool runOnMainThreadAndWait(std::function<void()> work, std::stop_token stop)
{
    struct Gate {
        std::mutex mutex;
        std::condition_variable_any done;
        bool ran = false;
    };
    auto gate = std::make_shared<Gate>();
    postToMainThread([gate, work = std::move(work)] {
        work();
        std::lock_guard lock(gate->mutex);
        gate->ran = true;
        gate->done.notify_all();
    });
    std::unique_lock lock(gate->mutex);
    return gate->done.wait(lock, stop, [&] { return gate->ran; });
}

bool isMainThread()
{
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

QThreadPool& workerPool()
{
    // Three jobs of 8 workers (folder inspection, a bulk run, its
    // re-inspection) plus the searches and samplers beside them.
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(32);
        p->setExpiryTimeout(30000);
        return p;
    }();
    return *pool;
}

int activeProcessorCount()
{
    const unsigned count = std::thread::hardware_concurrency();
    return count == 0 ? 1 : static_cast<int>(count);
}

}  // namespace kelvane::operations
