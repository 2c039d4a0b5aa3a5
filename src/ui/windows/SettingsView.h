// SPDX-License-Identifier: MIT
#pragma once

#include "operations/windows/SettingsModel.h"
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
// history-retention tabs at a fixed 560 x 420, drawn over a SettingsModel:
// every control changes its setting at once, so an open main window follows.
class SettingsView final : public QWidget {
    Q_OBJECT
public:
    using Reschedule = operations::SettingsModel::Reschedule;

    SettingsView(platform::Settings& settings, platform::NotificationCenter& notifications, Reschedule reschedule,
                 Shell& shell, QWidget* parent = nullptr);

    QTabWidget* tabs() const { return tabs_; }

    static QString authorizationText(platform::NotificationAuthorizationStatus status);

private:
    void tellNotSaved();

    operations::SettingsModel* model_;
    QTabWidget* tabs_ = nullptr;
};

}  // namespace kelvane::ui
