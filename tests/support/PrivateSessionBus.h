// SPDX-License-Identifier: MIT
#pragma once

// Header-only: the files in this folder that end in .cpp are compiled into
// every test executable, including the ones that do not link Qt.

#include <QProcess>
#include <QStandardPaths>
#include <QString>

namespace kelvane::test {

// A D-Bus session bus of the test's own, run by a dbus-daemon child process
// for the life of the object. address() is empty where dbus-daemon is not
// installed or did not start.
class PrivateSessionBus {
public:
    PrivateSessionBus()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
            return;
        daemon_.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address"});
        if (daemon_.waitForStarted() && daemon_.waitForReadyRead(10'000))
            address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    ~PrivateSessionBus()
    {
        daemon_.kill();
        daemon_.waitForFinished();
    }
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    const QString& address() const { return address_; }

private:
    QProcess daemon_;
    QString address_;
};

}  // namespace kelvane::test
