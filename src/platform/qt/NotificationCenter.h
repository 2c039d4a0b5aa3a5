#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <stdexcept>
#include <string>
#include <vector>

namespace kelvane::platform {

// The platform's values, kept as they are so that logs and tests can name them.
enum class NotificationAuthorizationStatus : int {
    notDetermined = 0,
    denied = 1,
    authorized = 2,
    provisional = 3,
    ephemeral = 4,
};

// A one-shot local notification, shown timeInterval seconds after it was added.
struct NotificationRequest {
    QString identifier;
    QString title;
    QString body;
    bool playsSound = false;
    double timeInterval = 0;

    bool operator==(const NotificationRequest&) const = default;
};

struct PendingNotification {
    NotificationRequest request;
    QDateTime fireDate;

    bool operator==(const PendingNotification&) const = default;
};

// A failure of the notification service; what() is the text shown to users.
class NotificationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// User notifications as the application sees them: permission, and pending
// requests keyed by identifier (adding one with a known identifier replaces it).
class NotificationCenter {
public:
    virtual ~NotificationCenter() = default;

    virtual NotificationAuthorizationStatus authorizationStatus() = 0;
    // Asks for alerts, sounds and badges at once. Returns whether they were
    // granted; throws NotificationError when the question itself failed.
    virtual bool requestAuthorization() = 0;

    // Throws NotificationError when the request could not be kept.
    virtual void add(const NotificationRequest& request) = 0;
    virtual void removePendingNotificationRequests(const QStringList& identifiers) = 0;
    virtual std::vector<PendingNotification> pendingNotificationRequests() = 0;
};

}  // namespace kelvane::platform
