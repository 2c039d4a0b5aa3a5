// SPDX-License-Identifier: MIT
#include "platform/qt/FreedesktopNotificationDelivery.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include <memory>

namespace kelvane::platform {

FreedesktopNotificationDelivery::FreedesktopNotificationDelivery(QDBusConnection connection, QObject* parent)
    : QObject(parent), connection_(std::move(connection))
{
}

void FreedesktopNotificationDelivery::deliver(const NotificationRequest& request,
                                              std::function<void(bool delivered)> done)
{
    if (!connection_.isConnected()) {
        done(false);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1StringView(serviceName), QLatin1StringView(objectPath),
                                                       QLatin1StringView(interfaceName), QStringLiteral("Notify"));
    QVariantMap hints;
    if (!request.playsSound)
        hints.insert(QStringLiteral("suppress-sound"), true);
    call << QStringLiteral("Kelvane")  // app_name
         << 0u                         // replaces_id
         << QString()                  // app_icon
         << request.title << request.body
         << QStringList()              // actions
         << hints
         << -1;                        // expire_timeout: the server's default
    auto* watcher = new QDBusPendingCallWatcher(connection_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [watcher, done = std::move(done)](QDBusPendingCallWatcher*) {
                const QDBusPendingReply<uint> reply = *watcher;
                watcher->deleteLater();
                done(!reply.isError());
            });
}

}  // namespace kelvane::platform
