// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

namespace kelvane::platform {

// Tells the windows of this process that a setting was just written, so an
// open window follows a change made in another one at once. Whoever writes a
// setting that others show calls notifyChanged with its key. Main thread.
class SettingsNotifier final : public QObject {
    Q_OBJECT
public:
    static SettingsNotifier& instance();

    void notifyChanged(const QString& key) { emit changed(key); }

signals:
    void changed(const QString& key);

private:
    SettingsNotifier() = default;
};

}  // namespace kelvane::platform
