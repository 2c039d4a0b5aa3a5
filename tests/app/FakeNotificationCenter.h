// SPDX-License-Identifier: MIT
#pragma once

#include "platform/qt/NotificationCenter.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace kelvane::test {

using platform::NotificationAuthorizationStatus;
using platform::NotificationRequest;

// Keeps pending requests the way the platform's center does and records the
// calls made to it, in order.
class FakeNotificationCenter : public platform::NotificationCenter {
public:
    NotificationAuthorizationStatus status = NotificationAuthorizationStatus::notDetermined;
    std::optional<bool> answer = true;  // none: the question itself fails
    bool addFails = false;

    std::vector<NotificationRequest> pending;
    std::vector<std::string> calls;
    int questionsAsked = 0;

    NotificationAuthorizationStatus authorizationStatus() override
    {
        calls.push_back("status");
        return status;
    }
    bool requestAuthorization() override
    {
        calls.push_back("ask");
        ++questionsAsked;
        if (!answer)
            throw platform::NotificationError(platform::NotificationError::serviceFailed{"the desktop did not answer"});
        status = *answer ? NotificationAuthorizationStatus::authorized : NotificationAuthorizationStatus::denied;
        return *answer;
    }
    void add(const NotificationRequest& request) override
    {
        calls.push_back("add");
        if (addFails)
            throw platform::NotificationError(platform::NotificationError::serviceFailed{"disk full"});
        std::erase_if(pending, [&](const NotificationRequest& r) { return r.identifier == request.identifier; });
        pending.push_back(request);
    }
    void removePendingNotificationRequests(const QStringList& identifiers) override
    {
        calls.push_back("remove:" + identifiers.join(u',').toStdString());
        std::erase_if(pending, [&](const NotificationRequest& r) { return identifiers.contains(r.identifier); });
    }
    std::vector<platform::PendingNotification> pendingNotificationRequests() override
    {
        std::vector<platform::PendingNotification> result;
        for (const auto& request : pending)
            result.push_back({request, {}});
        return result;
    }
};

}  // namespace kelvane::test
