// SPDX-License-Identifier: MIT
#include "platform/qt/SleepInhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>

namespace kelvane::platform {

// The inhibitor lasts as long as the descriptor the login manager handed out
// stays open.
struct SleepInhibitor::Lock {
    bool released = false;
    QDBusUnixFileDescriptor descriptor;
};

SleepInhibitor::SleepInhibitor(const QString& why) : lock_(std::make_shared<Lock>())
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.login1"),
                                                       QStringLiteral("/org/freedesktop/login1"),
                                                       QStringLiteral("org.freedesktop.login1.Manager"),
                                                       QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:idle") << QStringLiteral("Kelvane") << why << QStringLiteral("block");
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    std::weak_ptr<Lock> weak = lock_;
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [weak](QDBusPendingCallWatcher* w) {
        QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
        const auto lock = weak.lock();
        if (lock && !lock->released && reply.isValid())
            lock->descriptor = reply.value();
        w->deleteLater();
    });
}

SleepInhibitor::~SleepInhibitor()
{
    lock_->released = true;
    lock_->descriptor = QDBusUnixFileDescriptor();
}

}  // namespace kelvane::platform
