// SPDX-License-Identifier: MIT
#pragma once

#include "operations/threads/SaveFollower.h"
#include "operations/windows/AboutDiagnostics.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kelvane::store {
class ModelContainer;
}

namespace kelvane::operations {

// The rows of the About window's statistics, in the order they are shown.
enum class AboutFigure {
    registeredCount,
    logCount,
    bytesSaved,
    version,
    bundleIdentifier,
    appSize,
    databaseSize,
    residentMemory,
    launchCount,
    firstLaunch,
    previousLaunch,
    uptime,
    operatingSystem,
    architecture,
    locale,
    timeZone,
    home,
    applicationSupport,
};

// What the About window shows in figures: the store's counts and the saving
// (following every save that touches them), the program's facts, one
// diagnostics snapshot taken off the main thread, and the machine. Lives on
// the main thread; every figure is ready as text.
class AboutFiguresModel final : public QObject {
    Q_OBJECT
public:
    struct Program {
        std::optional<std::string> shortVersion;  // "?" when absent
        std::optional<std::string> buildNumber;
        std::optional<std::string> bundleIdentifier;
        // Takes a snapshot; runs on a worker thread, blocking.
        std::function<AboutDiagnostics()> collect;
    };

    AboutFiguresModel(std::shared_ptr<store::ModelContainer> container, Program program, QObject* parent = nullptr);
    ~AboutFiguresModel() override;

    // A name for the figure that stays when its label's wording changes.
    static QString name(AboutFigure figure);

    QString text(AboutFigure figure) const;
    // The exact byte count of a byte figure once measured; empty otherwise.
    QString toolTip(AboutFigure figure) const;
    // Every figure is shown, but the support folder only once a snapshot names it.
    bool isShown(AboutFigure figure) const;

    std::int64_t registeredCount() const { return registeredCount_; }
    std::int64_t logCount() const { return logCount_; }
    std::int64_t bytesSaved() const { return bytesSaved_; }

    // Collects a new snapshot off the main thread; `diagnosticsChanged` when
    // it arrives. Two requests collect twice; the later arrival stays.
    void refreshDiagnostics();
    // The first showing of the statistics: collects unless a snapshot exists
    // or was already asked for.
    void measureOnce();
    const std::optional<AboutDiagnostics>& diagnostics() const { return diagnostics_; }
    int collectionsStarted() const { return collectionsStarted_; }

    // The uptime is measured against this clock (the current time unless set).
    void setClock(std::function<QDateTime()> now);

    static QString formatUptime(double seconds);

signals:
    void countsChanged();
    void diagnosticsChanged();

private:
    void refreshCounts();
    QString versionText() const;

    std::shared_ptr<store::ModelContainer> container_;
    Program program_;
    std::function<QDateTime()> now_;
    SaveFollower saves_;

    std::int64_t registeredCount_ = 0;
    std::int64_t logCount_ = 0;
    std::int64_t bytesSaved_ = 0;
    std::optional<AboutDiagnostics> diagnostics_;
    int collectionsStarted_ = 0;
};

}  // namespace kelvane::operations
