// SPDX-License-Identifier: MIT
#pragma once

#include "platform/qt/NotificationCenter.h"

#include <functional>

namespace kelvane::platform {

// Puts a notification on the user's screen now. done(true) once the desktop
// took it, done(false) when it could not; done is called on the caller's
// thread, possibly later, never twice.
class NotificationDelivery {
public:
    virtual ~NotificationDelivery() = default;
    virtual void deliver(const NotificationRequest& request, std::function<void(bool delivered)> done) = 0;
};

}  // namespace kelvane::platform
