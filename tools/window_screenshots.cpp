// SPDX-License-Identifier: MIT
// Saves a PNG of every tab of the About and settings windows, the notices
// sheet and the history window, over a store of sample records in a
// throw-away home folder. Run it under a real X server so the desktop's
// fonts are used:
//
//   xvfb-run -a -s "-screen 0 1600x1200x24" build/tools/window_screenshots shots/
//
// Each scrolled page is also saved whole ("-page"), so every line can be read.

#include "operations/windows/AboutDiagnostics.h"
#include "platform/qt/NotificationCenter.h"
#include "platform/qt/Settings.h"
#include "store/CompressionLog.h"
#include "store/ModelContainer.h"
#include "ui/common/Shell.h"
#include "ui/windows/AboutView.h"
#include "ui/windows/LogScreen.h"
#include "ui/sheets/NoticesSheet.h"
#include "ui/windows/SettingsView.h"

#include "ScreenshotPalette.h"
#include "ScreenshotSteps.h"

#include <QApplication>
#include <QDir>
#include <QScrollArea>
#include <QTabWidget>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

using namespace kelvane;

namespace {

class QuietShell final : public ui::Shell {
public:
    void pickFilesAndFolders(QWidget*, const QString&, std::function<void(Paths)> done) override { done({}); }
    void pickFolder(QWidget*, const QString&, std::function<void(std::filesystem::path)> done) override { done({}); }
    void pickSaveFile(QWidget*, const QString&, const std::filesystem::path&, const QString&,
                      std::function<void(std::filesystem::path)> done) override
    {
        done({});
    }
    void setClipboardText(const QString&) override {}
    QString clipboardText() const override { return {}; }
    bool openUrl(const QUrl&) override { return true; }
    bool openFile(const std::filesystem::path&) override { return true; }
    void showInFileManager(const Paths&) override {}
};

class AllowingCenter final : public platform::NotificationCenter {
public:
    platform::NotificationAuthorizationStatus authorizationStatus() override
    {
        return platform::NotificationAuthorizationStatus::authorized;
    }
    bool requestAuthorization() override { return true; }
    void add(const platform::NotificationRequest&) override {}
    void removePendingNotificationRequests(const QStringList&) override {}
    std::vector<platform::PendingNotification> pendingNotificationRequests() override { return {}; }
};

QDir output;

void savePixmap(const QPixmap& pixmap, const QString& name)
{
    tools::savePicture(pixmap, output.filePath(name + QStringLiteral(".png")).toStdString());
}

// Long pages are cut into slices of at most 800 pixels, easier to look at.
void save(QWidget* widget, const QString& name)
{
    tools::settle(150);
    const QPixmap shot = widget->grab();
    const int sliceHeight = 800;
    if (shot.height() <= sliceHeight + 100) {
        savePixmap(shot, name);
        return;
    }
    for (int top = 0, part = 1; top < shot.height(); top += sliceHeight, ++part)
        savePixmap(shot.copy(0, top, shot.width(), std::min(sliceHeight, shot.height() - top)),
                   name + QStringLiteral("-%1").arg(part));
}

// The tab as shown, and its whole scrolled page.
void saveTab(QTabWidget* tabs, int index, const QString& name, QWidget* window)
{
    tabs->setCurrentIndex(index);
    save(window, name);
    if (auto* area = qobject_cast<QScrollArea*>(tabs->widget(index)))
        save(area->widget(), name + QStringLiteral("-page"));
}

void addSampleHistory(store::ModelContext& context)
{
    const auto now = std::chrono::system_clock::now();
    struct Sample {
        const char* path;
        const char* operation;
        std::int64_t before, after;
        bool success;
        const char* error;
    };
    const Sample samples[] = {
        {"/home/user/src/project/build/DerivedData/Index.noindex/DataStore/v5/records/ab/very-long-file-name-record.idx",
         "compress", 48'213'504, 9'123'456, true, nullptr},
        {"/home/user/Documents/notes.txt", "compress", 120'345, 40'100, true, nullptr},
        {"/home/user/Pictures/photo.jpg", "compress", 3'500'000, 3'500'000, false, "圧縮しても小さくなりませんでした"},
        {"/home/user/logs/server.log", "decompress", 12'000, 52'000, true, nullptr},
        {"/home/user/db/app.sqlite", "compress", 9'000'000, 9'000'000, false,
         "使用中のためスキップしました\n詳細: flock: errno=11"},
        {"/home/user/src/project/main.cpp", "compress", 24'576, 6'144, true, nullptr},
    };
    int minutes = 0;
    for (const Sample& s : samples) {
        minutes += 37;
        auto log = std::make_shared<store::CompressionLog>(
            store::Uuid::random(), now - std::chrono::minutes(minutes), s.operation, s.path, s.before, s.after,
            "LZFSE", 12 + minutes, s.success, s.error ? std::optional<std::string>(s.error) : std::nullopt);
        context.insert(log);
    }
    context.save();
}

}  // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_STATE_HOME", (home.path() + QStringLiteral("/state")).toUtf8());
    QApplication app(argc, argv);
    kelvane::tools::applyScreenshotPalette();
    output = QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots-windows"));
    output.mkpath(QStringLiteral("."));

    QDir().mkpath(home.path() + QStringLiteral("/data/Kelvane"));
    auto container = store::ModelContainer::open(
        {std::filesystem::path(home.path().toStdString()) / "data" / "Kelvane" / "store.sqlite"});
    addSampleHistory(container->mainContext());
    platform::Settings settings;
    settings.setValue(platform::settings_keys::launchCount, std::int64_t{3});
    settings.setValue(platform::settings_keys::firstLaunchAt, QDateTime::currentDateTime().addDays(-12));
    settings.setValue(platform::settings_keys::previousLaunchAt, QDateTime::currentDateTime().addDays(-1));

    QuietShell shell;
    ui::AboutEnvironment environment;
    environment.shortVersion = "0.1.0";
    environment.buildNumber = "1";
    environment.bundleIdentifier = "com.orbwright.kelvane";
    environment.exportLogs = [](double) { return std::string(); };
    environment.exportFileName = [](const QDateTime&) { return QStringLiteral("Kelvane-log.txt"); };
    environment.programFiles = operations::programFiles();
    environment.webSite = QUrl(QStringLiteral("https://orbwright.com/kelvane/"));
    environment.supportPage = QUrl(QStringLiteral("https://orbwright.com/kelvane/support/"));

    const char* aboutTabs[] = {"overview", "explainer", "usage", "statistics", "credits"};
    for (const QSize size : {QSize(720, 620), QSize(560, 480)}) {
        ui::AboutView about(container, shell, environment);
        about.resize(size);
        about.show();
        const QString suffix = QStringLiteral("-%1x%2").arg(size.width()).arg(size.height());
        for (int i = 0; i < 5; ++i) {
            about.tabs()->setCurrentIndex(i);
            if (i == 3)
                tools::waitUntil([&] { return about.diagnostics().has_value(); });
            saveTab(about.tabs(), i, QStringLiteral("about-%1-%2").arg(i + 1).arg(QLatin1String(aboutTabs[i])) + suffix,
                    &about);
        }
        if (size == QSize(720, 620)) {
            about.showNotices();
            ui::NoticesSheet* sheet = about.noticesSheet();
            tools::waitUntil([&] { return sheet->content() != QStringLiteral("読み込み中…"); });
            save(sheet, QStringLiteral("notices-720x600"));
            sheet->resize(600, 480);
            save(sheet, QStringLiteral("notices-600x480"));
            sheet->close();
        }
    }

    AllowingCenter center;
    ui::SettingsView settingsView(settings, center, [](bool, std::int64_t) {}, shell);
    settingsView.show();
    const char* settingsTabs[] = {"display", "algorithm", "compression", "notifications", "history"};
    for (int i = 0; i < 5; ++i)
        saveTab(settingsView.tabs(), i, QStringLiteral("settings-%1-%2").arg(i + 1).arg(QLatin1String(settingsTabs[i])),
                &settingsView);

    ui::LogScreen history(container, container->mainContext(), shell);
    history.show();
    save(&history, QStringLiteral("history-960x640"));
    history.resize(720, 480);
    save(&history, QStringLiteral("history-720x480"));
    history.setSearchQuery(QStringLiteral("no such path"));
    save(&history, QStringLiteral("history-no-match"));
    history.setSearchQuery({});
    history.deleteAllLogs();
    save(&history, QStringLiteral("history-empty"));
    return 0;
}
