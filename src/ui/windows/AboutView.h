// SPDX-License-Identifier: MIT
#pragma once

#include "operations/windows/AboutFiguresModel.h"
#include "operations/windows/LogExportModel.h"

#include <QDateTime>
#include <QDialog>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QVBoxLayout;

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
    using LogExportRange = operations::LogExportModel::Range;

    AboutView(std::shared_ptr<store::ModelContainer> container, Shell& shell, AboutEnvironment environment,
              QWidget* parent = nullptr);
    ~AboutView() override;

    QTabWidget* tabs() const { return tabs_; }
    operations::AboutFiguresModel& figures() const { return *figures_; }

    // Collects a new snapshot off the main thread; the rows change when it arrives.
    void refreshDiagnostics();
    const std::optional<operations::AboutDiagnostics>& diagnostics() const { return figures_->diagnostics(); }

    void setExportRange(LogExportRange range);
    LogExportRange exportRange() const { return logExport_->range(); }
    // Reads the log off the main thread, asks where to save it and writes it.
    void exportLogFile();
    bool isExporting() const { return logExport_->isExporting(); }
    std::optional<QString> exportError() const { return logExport_->error(); }

    void showNotices();
    NoticesSheet* noticesSheet() const;

    // The value and tooltip of a statistics row, as shown.
    QString statisticsValue(operations::AboutFigure figure) const;
    QString statisticsToolTip(operations::AboutFigure figure) const;

signals:
    void diagnosticsChanged();
    void exportFinished();

private:
    QWidget* overviewTab();
    QLayout* overviewHeader();
    QWidget* explainerTab();
    QWidget* usageTab();
    QWidget* statisticsTab();
    QLayout* statisticsTitleRow();
    void addStatisticsSections(QVBoxLayout* page);
    QWidget* logExportSection();
    QWidget* creditsTab();
    QWidget* creditEntry(const QString& name, const QString& description, const QString& licence, const QUrl& url);
    QPushButton* link(const QString& text, const QUrl& url);

    void showFigures();
    void showFigure(operations::AboutFigure figure);
    void showExporting(bool exporting);
    void showErrorRow(bool shown);

    Shell& shell_;
    AboutEnvironment environment_;
    operations::AboutFiguresModel* figures_;
    operations::LogExportModel* logExport_;
    QPointer<NoticesSheet> notices_;

    QTabWidget* tabs_ = nullptr;
    std::map<operations::AboutFigure, QLabel*> statistics_;
    QComboBox* rangePicker_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    QWidget* exportSpinner_ = nullptr;
    QLabel* exportErrorLabel_ = nullptr;
};

}  // namespace kelvane::ui
