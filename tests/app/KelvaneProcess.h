// SPDX-License-Identifier: MIT
#pragma once

// The built executable run as a user would start it: its own home folder, no
// display, no session bus unless the test hands it one. The test process's
// event loop runs while it waits, so a D-Bus service of the test can answer.

#include "support/CoreApplication.h"
#include "support/EventLoopWait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

namespace kelvane::test {

inline QCoreApplication& application() { return coreApplication(); }

struct ProcessResult {
    bool finished = false;  // false: crashed or still running at the time-out (then killed)
    int exitCode = -1;
    std::string out;
    std::string err;
};

class KelvaneProcess {
public:
    explicit KelvaneProcess(const std::filesystem::path& home) : home_(home)
    {
        environment_.insert(QStringLiteral("HOME"), QString::fromStdString(home.string()));
        environment_.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString((home / ".local/share").string()));
        environment_.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString((home / ".config").string()));
        environment_.insert(QStringLiteral("XDG_STATE_HOME"), QString::fromStdString((home / ".local/state").string()));
        environment_.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
        environment_.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        // A windowed start wants its own runtime folder, readable by nobody else.
        const std::filesystem::path runtime = home / ".runtime";
        std::filesystem::create_directories(runtime);
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
        environment_.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime.string()));
    }

    void setEnvironment(const QString& name, const QString& value) { environment_.insert(name, value); }
    const QProcessEnvironment& environment() const { return environment_; }

    ProcessResult run(const QStringList& arguments,
                      std::chrono::milliseconds timeout = std::chrono::seconds(120)) const
    {
        application();
        QProcess process;
        process.setProcessEnvironment(environment_);
        QEventLoop loop;
        QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QObject::connect(&process, &QProcess::errorOccurred, &loop, [&loop](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                loop.quit();
        });
        QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
        process.start(QStringLiteral(KELVANE_BINARY_DIR "/kelvane"), arguments);
        if (process.state() != QProcess::NotRunning)
            loop.exec();
        ProcessResult result;
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
            return result;
        }
        result.finished = process.exitStatus() == QProcess::NormalExit && process.error() != QProcess::FailedToStart;
        result.exitCode = process.exitCode();
        result.out = process.readAllStandardOutput().toStdString();
        result.err = process.readAllStandardError().toStdString();
        return result;
    }

    // Starts the windowed mode on Qt's offscreen platform, waits (running the
    // event loop) until `ready` holds, then ends the process as a desktop
    // session does, with SIGTERM. Not finished: `ready` never held in time.
    ProcessResult runWindow(const std::function<bool()>& ready, const QStringList& arguments = {},
                            std::chrono::milliseconds timeout = std::chrono::seconds(120)) const
    {
        application();
        QProcess process;
        QProcessEnvironment environment = environment_;
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(KELVANE_BINARY_DIR "/kelvane"), arguments);
        ProcessResult result;
        if (!process.waitForStarted())
            return result;
        const bool wasReady = runEventsUntil(ready, timeout);
        process.terminate();
        if (!process.waitForFinished(30'000)) {
            process.kill();
            process.waitForFinished();
            return result;
        }
        result.finished = wasReady && process.exitStatus() == QProcess::NormalExit;
        result.exitCode = process.exitCode();
        result.out = process.readAllStandardOutput().toStdString();
        result.err = process.readAllStandardError().toStdString();
        return result;
    }

    std::filesystem::path supportFolder() const { return home_ / ".local/share/Kelvane"; }
    std::filesystem::path storeFile() const { return supportFolder() / "store.sqlite"; }
    std::filesystem::path settingsFile() const { return home_ / ".config/Kelvane/Kelvane.conf"; }
    std::filesystem::path notificationsFile() const { return supportFolder() / "notifications.json"; }

private:
    std::filesystem::path home_;
    QProcessEnvironment environment_;
};

}  // namespace kelvane::test
