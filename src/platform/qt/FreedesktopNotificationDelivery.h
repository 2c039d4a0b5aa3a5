// SPDX-License-Identifier: MIT
#pragma once

#include "platform/qt/NotificationDelivery.h"

#include <QDBusConnection>
#include <QObject>

namespace kelvane::platform {

// Delivery through the desktop notification service
// (org.freedesktop.Notifications) on a D-Bus connection, the session bus by
// default. Calls are asynchronous, so a slow or absent service never blocks.
class FreedesktopNotificationDelivery : public QObject, public NotificationDelivery {
    Q_OBJECT
public:
    explicit FreedesktopNotificationDelivery(QDBusConnection connection = QDBusConnection::sessionBus(),
                                             QObject* parent = nullptr);

    void deliver(const NotificationRequest& request, std::function<void(bool delivered)> done) override;

    static constexpr const char* serviceName = "org.freedesktop.Notifications";
    static constexpr const char* objectPath = "/org/freedesktop/Notifications";
    static constexpr const char* interfaceName = "org.freedesktop.Notifications";

private:
    QDBusConnection connection_;
};

}  // namespace kelvane::platform
