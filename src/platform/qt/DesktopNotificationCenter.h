// SPDX-License-Identifier: MIT
#pragma once

#include "platform/qt/NotificationCenter.h"
#include "platform/qt/NotificationDelivery.h"

#include <QObject>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <set>
#include <utility>

namespace kelvane::platform {

// The notification center of this desktop: permission and pending requests
// live in a small JSON file, so a request outlives the process that added it,
// and requests that have fallen due are handed to a NotificationDelivery
// whenever a process checks (at start-up and by a timer while it runs).
// A request leaves the file only once the desktop has taken it; one that
// could not be shown stays pending for the next check.
// Lives on the thread that created it; the file is shared between processes
// under a lock file.
class DesktopNotificationCenter : public QObject, public NotificationCenter {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    DesktopNotificationCenter(std::filesystem::path stateFile, NotificationDelivery& delivery,
                              Clock now = &QDateTime::currentDateTimeUtc, QObject* parent = nullptr);

    // The process's center: "notifications.json" in the application-support
    // folder, delivered over the session bus. Made on first use, on the main
    // thread once the application object exists, and kept to the end.
    static DesktopNotificationCenter& current();

    NotificationAuthorizationStatus authorizationStatus() override;
    // This desktop has no per-application permission: asking always grants,
    // and the answer is kept like the platform keeps the user's choice.
    bool requestAuthorization() override;
    void add(const NotificationRequest& request) override;
    void removePendingNotificationRequests(const QStringList& identifiers) override;
    std::vector<PendingNotification> pendingNotificationRequests() override;

    // Hands every request whose fire date has come to the delivery.
    void deliverDueNotifications();
    // Whether a delivery handed over has not answered yet; deliveriesSettled()
    // is announced when the last one answers.
    bool deliveriesInFlight() const { return !inFlight_.empty(); }
    // Checks now and then again whenever a request falls due, at least every
    // checkInterval so that a desktop that was missing gets another chance.
    void startDeliveryTimer();

    const std::filesystem::path& stateFile() const { return stateFile_; }

    static constexpr std::chrono::minutes checkInterval{15};

signals:
    void deliveriesSettled();

private:
    struct State {
        NotificationAuthorizationStatus authorization = NotificationAuthorizationStatus::notDetermined;
        std::vector<PendingNotification> pending;
    };

    State load() const;
    void save(const State& state) const;
    // Runs change() on the current state under the lock file and saves it.
    void update(const std::function<void(State&)>& change);
    void delivered(const PendingNotification& notification, bool ok);
    void forgetDelivered(const PendingNotification& notification);
    void deliverDue(const QDateTime& now);
    void deliverDueAndRearm();
    void armTimer(const QDateTime& now);

    std::filesystem::path stateFile_;
    NotificationDelivery& delivery_;
    Clock now_;
    QTimer timer_;
    bool timerStarted_ = false;
    std::set<std::pair<QString, qint64>> inFlight_;  // identifier, fire date (ms)
};

}  // namespace kelvane::platform
