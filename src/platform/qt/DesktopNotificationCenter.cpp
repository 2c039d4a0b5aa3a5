// SPDX-License-Identifier: MIT
#include "platform/qt/DesktopNotificationCenter.h"

#include "platform/AppSupport.h"
#include "platform/Logger.h"
#include "platform/qt/FreedesktopNotificationDelivery.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QPointer>
#include <QSaveFile>

#include <algorithm>
#include <climits>
#include <cmath>

namespace kelvane::platform {

namespace {

constexpr auto dateFormat = Qt::ISODateWithMs;
constexpr int lockTimeoutMs = 5000;

QString fileName(const std::filesystem::path& path)
{
    return QFile::decodeName(path.c_str());
}

// A value the platform added later is kept as it is (and shown as unknown);
// only a missing or non-integer one means nobody was asked yet.
NotificationAuthorizationStatus statusFromJson(const QJsonValue& value)
{
    if (!value.isDouble())
        return NotificationAuthorizationStatus::notDetermined;
    const double number = value.toDouble();
    if (!(number >= INT_MIN && number <= INT_MAX) || number != std::trunc(number))
        return static_cast<NotificationAuthorizationStatus>(-1);  // no value the platform knows
    return static_cast<NotificationAuthorizationStatus>(static_cast<int>(number));
}

std::optional<PendingNotification> pendingFromJson(const QJsonObject& object)
{
    PendingNotification pending;
    pending.request.identifier = object.value(u"identifier").toString();
    pending.request.title = object.value(u"title").toString();
    pending.request.body = object.value(u"body").toString();
    pending.request.playsSound = object.value(u"playsSound").toBool(false);
    pending.request.timeInterval = object.value(u"timeInterval").toDouble(0);
    pending.fireDate = QDateTime::fromString(object.value(u"fireDate").toString(), dateFormat);
    if (pending.request.identifier.isEmpty() || !pending.fireDate.isValid())
        return std::nullopt;
    return pending;
}

QJsonObject pendingToJson(const PendingNotification& pending)
{
    return QJsonObject{
        {QStringLiteral("identifier"), pending.request.identifier},
        {QStringLiteral("title"), pending.request.title},
        {QStringLiteral("body"), pending.request.body},
        {QStringLiteral("playsSound"), pending.request.playsSound},
        {QStringLiteral("timeInterval"), pending.request.timeInterval},
        {QStringLiteral("fireDate"), pending.fireDate.toUTC().toString(dateFormat)},
    };
}

}  // namespace

DesktopNotificationCenter::DesktopNotificationCenter(std::filesystem::path stateFile, NotificationDelivery& delivery,
                                                     Clock now, QObject* parent)
    : QObject(parent), stateFile_(std::move(stateFile)), delivery_(delivery), now_(std::move(now))
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] {
        deliverDueAndRearm();
    });
}

DesktopNotificationCenter& DesktopNotificationCenter::current()
{
    // Never destroyed: it may still be referenced while the process winds down.
    static auto* delivery = new FreedesktopNotificationDelivery();
    static auto* center = new DesktopNotificationCenter(applicationSupportDirectory() / "notifications.json", *delivery);
    return *center;
}

NotificationAuthorizationStatus DesktopNotificationCenter::authorizationStatus()
{
    return load().authorization;
}

bool DesktopNotificationCenter::requestAuthorization()
{
    update([](State& state) { state.authorization = NotificationAuthorizationStatus::authorized; });
    return true;
}

void DesktopNotificationCenter::add(const NotificationRequest& request)
{
    const PendingNotification pending{request, now_().addMSecs(static_cast<qint64>(request.timeInterval * 1000.0))};
    update([&](State& state) {
        std::erase_if(state.pending, [&](const PendingNotification& p) {
            return p.request.identifier == request.identifier;
        });
        state.pending.push_back(pending);
    });
    if (timerStarted_)
        armTimer(now_());
}

void DesktopNotificationCenter::removePendingNotificationRequests(const QStringList& identifiers)
{
    try {
        update([&](State& state) {
            std::erase_if(state.pending, [&](const PendingNotification& p) {
                return identifiers.contains(p.request.identifier);
            });
        });
    } catch (const NotificationError& error) {
        Logger::notifications().error("remove pending notifications failed: %{public}s", error.what());
    }
}

std::vector<PendingNotification> DesktopNotificationCenter::pendingNotificationRequests()
{
    return load().pending;
}

void DesktopNotificationCenter::deliverDueNotifications()
{
    deliverDue(now_());
}

// One reading of the clock for both steps: a request that falls due between
// them would otherwise be neither delivered nor waited for, and would sit
// until the next routine check.
void DesktopNotificationCenter::deliverDueAndRearm()
{
    const QDateTime now = now_();
    deliverDue(now);
    armTimer(now);
}

void DesktopNotificationCenter::deliverDue(const QDateTime& now)
{
    for (const PendingNotification& pending : load().pending) {
        const auto key = std::make_pair(pending.request.identifier, pending.fireDate.toMSecsSinceEpoch());
        if (pending.fireDate > now || inFlight_.contains(key))
            continue;
        inFlight_.insert(key);
        QPointer<DesktopNotificationCenter> self(this);
        delivery_.deliver(pending.request, [self, pending](bool ok) {
            if (self)
                self->delivered(pending, ok);
        });
    }
}

void DesktopNotificationCenter::delivered(const PendingNotification& notification, bool ok)
{
    inFlight_.erase(std::make_pair(notification.request.identifier, notification.fireDate.toMSecsSinceEpoch()));
    if (ok)
        forgetDelivered(notification);
    else
        Logger::notifications().notice("notification not delivered, kept pending: %{public}s",
                                       notification.request.identifier.toStdString());
    if (inFlight_.empty())
        emit deliveriesSettled();
}

void DesktopNotificationCenter::forgetDelivered(const PendingNotification& notification)
{
    try {
        // Only the request that was shown: one added again meanwhile has a new fire date and stays.
        update([&](State& state) {
            std::erase_if(state.pending, [&](const PendingNotification& p) {
                return p.request.identifier == notification.request.identifier
                       && p.fireDate == notification.fireDate;
            });
        });
    } catch (const NotificationError& error) {
        Logger::notifications().error("remove delivered notification failed: %{public}s", error.what());
    }
}

void DesktopNotificationCenter::startDeliveryTimer()
{
    timerStarted_ = true;
    deliverDueAndRearm();
}

void DesktopNotificationCenter::armTimer(const QDateTime& now)
{
    qint64 waitMs = std::chrono::duration_cast<std::chrono::milliseconds>(checkInterval).count();
    for (const PendingNotification& pending : load().pending) {
        if (pending.fireDate > now)
            waitMs = std::min(waitMs, now.msecsTo(pending.fireDate));
    }
    timer_.start(static_cast<int>(std::max<qint64>(waitMs, 1)));
}

DesktopNotificationCenter::State DesktopNotificationCenter::load() const
{
    State state;
    QFile file(fileName(stateFile_));
    if (!file.open(QIODevice::ReadOnly))
        return state;  // nothing kept yet
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject()) {
        Logger::notifications().error("notification state unreadable, starting empty: %{public}s",
                                      parseError.errorString().toStdString());
        return state;
    }
    const QJsonObject root = document.object();
    state.authorization = statusFromJson(root.value(u"authorizationStatus"));
    for (const QJsonValue& value : root.value(u"pending").toArray()) {
        if (auto pending = pendingFromJson(value.toObject()))
            state.pending.push_back(std::move(*pending));
    }
    return state;
}

void DesktopNotificationCenter::save(const State& state) const
{
    QJsonArray pending;
    for (const PendingNotification& p : state.pending)
        pending.append(pendingToJson(p));
    const QJsonObject root{
        {QStringLiteral("authorizationStatus"), static_cast<int>(state.authorization)},
        {QStringLiteral("pending"), pending},
    };
    QSaveFile file(fileName(stateFile_));
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(root).toJson()) < 0 || !file.commit())
        throw NotificationError(NotificationError::stateNotWritten{stateFile_, file.errorString().toStdString()});
}

void DesktopNotificationCenter::update(const std::function<void(State&)>& change)
{
    std::error_code error;
    std::filesystem::create_directories(stateFile_.parent_path(), error);
    if (error)
        throw NotificationError(NotificationError::folderNotCreated{stateFile_.parent_path(), error.message()});
    QLockFile lock(fileName(stateFile_) + QStringLiteral(".lock"));
    if (!lock.tryLock(lockTimeoutMs))
        throw NotificationError(NotificationError::stateNotLocked{stateFile_});
    State state = load();
    change(state);
    save(state);
}

}  // namespace kelvane::platform
