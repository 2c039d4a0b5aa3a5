// SPDX-License-Identifier: MIT
#pragma once

#include "platform/qt/NotificationCenter.h"

#include <QWidget>

#include <cstdint>
#include <functional>

class QTabWidget;

namespace kelvane::platform {
class Settings;
}

namespace kelvane::ui {

class Shell;

// The settings window: display, algorithm, compression, notification and
// history-retention tabs at a fixed 560 x 420. Every control writes its key
// the moment it changes and announces it through platform::SettingsNotifier,
// so an open main window follows at once.
class SettingsView final : public QWidget {
    Q_OBJECT
public:
    // Removes the pending reminder and schedules it again while `enabled`
    // and `registeredCount` >= 1 (the application's notification scheduler).
    using Reschedule = std::function<void(bool enabled, std::int64_t registeredCount)>;

    SettingsView(platform::Settings& settings, platform::NotificationCenter& notifications, Reschedule reschedule,
                 Shell& shell, QWidget* parent = nullptr);

    QTabWidget* tabs() const { return tabs_; }

    static QString authorizationText(platform::NotificationAuthorizationStatus status);

private:
    QTabWidget* tabs_ = nullptr;
};

}  // namespace kelvane::ui
