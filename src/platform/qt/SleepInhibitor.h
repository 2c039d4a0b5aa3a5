// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <memory>

namespace kelvane::platform {

// Asks the login manager (over the system D-Bus) not to let the machine
// sleep or idle until this object goes away. Without a system bus or login
// manager it does nothing. Never waits: the request is answered
// asynchronously, and an answer that arrives after release is dropped.
// Main thread.
class SleepInhibitor {
public:
    explicit SleepInhibitor(const QString& why);
    ~SleepInhibitor();
    SleepInhibitor(const SleepInhibitor&) = delete;
    SleepInhibitor& operator=(const SleepInhibitor&) = delete;

    struct Lock;

private:
    std::shared_ptr<Lock> lock_;
};

}  // namespace kelvane::platform
