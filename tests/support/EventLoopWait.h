// SPDX-License-Identifier: MIT
#pragma once

// Header-only: the files in this folder that end in .cpp are compiled into
// every test executable, including the ones that do not link Qt.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <functional>

namespace kelvane::test {

// Runs the calling thread's event loop until `condition` holds; false when it
// still does not after `timeout`. Between events the thread sleeps in the
// event loop; a short timer wakes it now and then so that a condition changed
// by another thread without posting an event is still seen.
inline bool runEventsUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const QDeadlineTimer deadline(timeout);
    QTimer wake;
    wake.start(10);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

}  // namespace kelvane::test
