// SPDX-License-Identifier: MIT
#include "operations/windows/SettingsModel.h"

#include "display/VisibleName.h"
#include "platform/Logger.h"
#include "platform/qt/Settings.h"
#include "platform/qt/SettingsNotifier.h"

#include <algorithm>
#include <array>
#include <optional>

namespace kelvane::operations {

namespace keys = platform::settings_keys;

namespace {

const char* keyName(UserSetting setting)
{
    switch (setting) {
    case UserSetting::ratioDisplayMode: return keys::ratioDisplayMode.name;
    case UserSetting::weeklyReminderEnabled: return keys::weeklyReminderEnabled.name;
    case UserSetting::logRetentionDays: return keys::logRetentionDays.name;
    case UserSetting::logRetentionMaxCount: return keys::logRetentionMaxCount.name;
    }
    return "";
}

std::optional<UserSetting> settingNamed(const QString& key)
{
    for (const UserSetting setting : {UserSetting::ratioDisplayMode, UserSetting::weeklyReminderEnabled,
                                      UserSetting::logRetentionDays, UserSetting::logRetentionMaxCount})
        if (key == QLatin1String(keyName(setting)))
            return setting;
    return std::nullopt;
}

const platform::IntegerSetting& retentionKey(SettingsModel::Retention retention)
{
    return retention == SettingsModel::Retention::days ? keys::logRetentionDays : keys::logRetentionMaxCount;
}

UserSetting retentionSetting(SettingsModel::Retention retention)
{
    return retention == SettingsModel::Retention::days ? UserSetting::logRetentionDays
                                                       : UserSetting::logRetentionMaxCount;
}

}  // namespace

SettingsModel::Range SettingsModel::range(Retention retention)
{
    return retention == Retention::days ? Range{1, 365, 1} : Range{100, 100000, 1000};
}

SettingsModel::SettingsModel(platform::Settings& settings, Reschedule reschedule, QObject* parent)
    : QObject(parent), settings_(settings), reschedule_(std::move(reschedule))
{
    // Our own writes come back this way too, so each change is told once.
    connect(&platform::SettingsNotifier::instance(), &platform::SettingsNotifier::changed, this,
            [this](const QString& key) {
                if (const auto setting = settingNamed(key))
                    emit changed(*setting);
            });
}

display::RatioDisplayMode SettingsModel::ratioDisplayMode() const
{
    return display::RatioDisplayMode::fromSettings(settings_);
}

bool SettingsModel::weeklyReminderEnabled() const { return settings_.value(keys::weeklyReminderEnabled); }

std::int64_t SettingsModel::retention(Retention retention) const { return settings_.value(retentionKey(retention)); }

bool SettingsModel::canStep(Retention which, int direction) const
{
    const std::int64_t current = retention(which);
    return direction < 0 ? current > range(which).min : current < range(which).max;
}

QString SettingsModel::fileName() const { return display::visibleName(settings_.file()); }

bool SettingsModel::setRatioDisplayMode(display::RatioDisplayMode mode)
{
    return written(settings_.setValue(keys::ratioDisplayMode, mode.rawValue()), UserSetting::ratioDisplayMode);
}

bool SettingsModel::setWeeklyReminderEnabled(bool enabled)
{
    if (!written(settings_.setValue(keys::weeklyReminderEnabled, enabled), UserSetting::weeklyReminderEnabled))
        return false;
    if (reschedule_)
        reschedule_(enabled, settings_.value(keys::registeredItemCountCache));
    return true;
}

bool SettingsModel::stepRetention(Retention which, int direction)
{
    const Range bounds = range(which);
    const std::int64_t current = retention(which);
    const std::int64_t next = std::clamp(current + (direction < 0 ? -bounds.step : bounds.step), bounds.min, bounds.max);
    if (next == current)
        return true;
    return written(settings_.setValue(retentionKey(which), next), retentionSetting(which));
}

bool SettingsModel::written(bool ok, UserSetting setting)
{
    if (ok) {
        platform::SettingsNotifier::instance().notifyChanged(QString::fromLatin1(keyName(setting)));
        return true;
    }
    platform::Logger::ui().error("setting %{public}s not saved to %{private}s", keyName(setting), settings_.file());
    emit saveFailed(setting);
    return false;
}

}  // namespace kelvane::operations
