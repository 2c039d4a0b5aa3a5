// SPDX-License-Identifier: MIT
#pragma once

#include "ui/windows/AboutDiagnostics.h"

#include <QDateTime>
#include <QDialog>
#include <QHash>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QFormLayout;
class QLabel;
class QPushButton;
class QTabWidget;

namespace kelvane::store {
class ModelContainer;
}

namespace kelvane::ui {

class NoticesSheet;
class Shell;

// What the About window needs from the application around it.
struct AboutEnvironment {
    std::optional<std::string> shortVersion;  // shown as "?" when absent
    std::optional<std::string> buildNumber;
    std::optional<std::string> bundleIdentifier;
    // The log text of the last `hours`; throws std::exception on failure.
    // Runs on a worker thread.
    std::function<std::string(double hours)> exportLogs;
    std::function<QString(const QDateTime&)> exportFileName;
    std::vector<std::filesystem::path> programFiles;  // measured for the program's size
    QString noticesFile;  // empty: the notices built into the program
    QUrl webSite;
    QUrl supportPage;
};

// "Kelvane について": overview, explainer, usage guide, statistics (with the
// log export) and credits. A window-modal sheet over the main window: create
// a new one each time and show it with open(); it starts on the first tab.
class AboutView final : public QDialog {
    Q_OBJECT
public:
    enum class LogExportRange { lastHour, lastDay, lastWeek };
    static double hours(LogExportRange range);
    static QString pickerText(LogExportRange range);

    AboutView(std::shared_ptr<store::ModelContainer> container, Shell& shell, AboutEnvironment environment,
              QWidget* parent = nullptr);
    ~AboutView() override;

    QTabWidget* tabs() const { return tabs_; }

    // Collects a new snapshot off the main thread; the rows change when it arrives.
    void refreshDiagnostics();
    const std::optional<AboutDiagnostics>& diagnostics() const { return diagnostics_; }

    void setExportRange(LogExportRange range);
    LogExportRange exportRange() const { return exportRange_; }
    // Reads the log off the main thread, asks where to save it and writes it.
    void exportLogFile();
    bool isExporting() const { return isExporting_; }
    std::optional<QString> exportError() const { return exportError_; }

    void showNotices();
    NoticesSheet* noticesSheet() const;

    // The value and tooltip of a statistics row, by its label.
    QString statisticsValue(const QString& rowLabel) const;
    QString statisticsToolTip(const QString& rowLabel) const;

    static QString formatUptime(double seconds);

signals:
    void diagnosticsChanged();
    void exportFinished();

private:
    QWidget* overviewTab();
    QWidget* explainerTab();
    QWidget* usageTab();
    QWidget* statisticsTab();
    QWidget* creditsTab();
    QPushButton* link(const QString& text, const QUrl& url);

    void refreshCounts();
    void showDiagnostics();
    void finishExport(std::optional<QString> error);
    QLabel* statisticsRow(QFormLayout* form, const QString& label, const QString& text = {});

    std::shared_ptr<store::ModelContainer> container_;
    Shell& shell_;
    AboutEnvironment environment_;
    std::uint64_t observerToken_ = 0;

    std::optional<AboutDiagnostics> diagnostics_;
    LogExportRange exportRange_ = LogExportRange::lastDay;
    bool isExporting_ = false;
    std::optional<QString> exportError_;
    QPointer<NoticesSheet> notices_;
    bool statisticsShown_ = false;

    QTabWidget* tabs_ = nullptr;
    QHash<QString, QLabel*> statistics_;
    QComboBox* rangePicker_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    QWidget* exportSpinner_ = nullptr;
    QLabel* exportErrorLabel_ = nullptr;
};

}  // namespace kelvane::ui
