// SPDX-License-Identifier: MIT
#pragma once

#include "platform/TypedFailure.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <string>
#include <variant>
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

struct NotificationCases {
    using Path = std::filesystem::path;
    // The service itself failed; `reason` is its own text.
    struct serviceFailed { std::string reason; };
    // The kept state could not be changed.
    struct folderNotCreated { Path folder; std::string reason; };
    struct stateNotLocked { Path file; };
    struct stateNotWritten { Path file; std::string reason; };
    using Case = std::variant<serviceFailed, folderNotCreated, stateNotLocked, stateNotWritten>;

    static std::string describe(const serviceFailed& c) { return c.reason; }
    static std::string describe(const folderNotCreated& c) { return "cannot create " + c.folder.string() + ": " + c.reason; }
    static std::string describe(const stateNotLocked& c) { return "cannot lock " + c.file.string(); }
    static std::string describe(const stateNotWritten& c) { return "cannot write " + c.file.string() + ": " + c.reason; }
};

// A failure of the notification service; what() is the text shown to users.
class NotificationError : public TypedFailure<NotificationCases> {
public:
    using TypedFailure::TypedFailure;
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
