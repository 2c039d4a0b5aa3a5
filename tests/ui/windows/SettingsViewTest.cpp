// SPDX-License-Identifier: MIT
#include "ui/windows/SettingsView.h"

#include "WindowsTestSupport.h"
#include "app/FakeNotificationCenter.h"
#include "app/NotificationScheduler.h"
#include "display/Formatters.h"
#include "display/RatioDisplayMode.h"
#include "platform/LogStore.h"
#include "platform/qt/DesktopNotificationCenter.h"
#include "platform/qt/Settings.h"
#include "platform/qt/SettingsNotifier.h"
#include "support/FakeShell.h"

#include <QCheckBox>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

namespace kelvane::ui::test {
namespace {

namespace keys = platform::settings_keys;
using platform::NotificationAuthorizationStatus;

class SettingsViewTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        settingsFile_ = std::make_unique<platform::Settings>();  // inside the test's home
    }

    std::unique_ptr<SettingsView> open()
    {
        auto view = std::make_unique<SettingsView>(
            settings(), center_,
            [this](bool enabled, std::int64_t count) {
                reschedules_.emplace_back(enabled, count);
                // As the application does: its scheduler, over the fake center.
                app::NotificationScheduler(center_).reschedule(enabled, count);
            },
            shell_);
        view->show();
        return view;
    }

    QWidget* stepper(SettingsView& view, const char* key) { return view.findChild<QWidget*>(QString::fromLatin1(key)); }
    QString stepperText(SettingsView& view, const char* key)
    {
        return stepper(view, key)->findChild<QLabel*>(QStringLiteral("value"))->text();
    }
    void press(SettingsView& view, const char* key, const char* button, int times = 1)
    {
        auto* target = stepper(view, key)->findChild<QToolButton*>(QString::fromLatin1(button));
        for (int i = 0; i < times; ++i)
            QTest::mouseClick(target, Qt::LeftButton);
    }

    std::unique_ptr<platform::Settings> settingsFile_;
    platform::Settings& settings() { return *settingsFile_; }
    kelvane::test::FakeNotificationCenter center_;
    kelvane::test::FakeShell shell_;
    std::vector<std::pair<bool, std::int64_t>> reschedules_;
};

TEST_F(SettingsViewTest, FreshSettingsShowTheDefaultsInFiveTabsOfAFixedSize)
{
    auto view = open();
    QTabWidget* tabs = view->tabs();
    ASSERT_EQ(tabs->count(), 5);
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles << tabs->tabText(i);
    EXPECT_EQ(titles, (QStringList{"表示", "アルゴリズム", "圧縮", "通知", "ログ"}));
    EXPECT_EQ(tabs->size(), QSize(560, 420));
    for (int i = 0; i < tabs->count(); ++i)
        EXPECT_FALSE(tabs->tabIcon(i).isNull()) << "tab " << i << " shows its symbol";
    // LZFSE is marked in use, the three others as to come, each by its symbol.
    QStringList marks;
    for (const char* name : {"LZFSE", "ZLIB", "LZVN", "LZBitmap"}) {
        auto* entry = view->findChild<QWidget*>(QStringLiteral("algorithm:") + QLatin1String(name));
        ASSERT_NE(entry, nullptr) << name;
        marks << entry->findChild<QLabel*>(QStringLiteral("mark"))->property("symbol").toString();
    }
    EXPECT_EQ(marks, (QStringList{"checkmark.circle.fill", "circle.dotted", "circle.dotted", "circle.dotted"}));

    EXPECT_TRUE(view->findChild<QRadioButton*>(QStringLiteral("remaining"))->isChecked());
    EXPECT_EQ(view->findChild<QRadioButton*>(QStringLiteral("reduction"))->text(), "削減率（例: 75% 削減）");
    EXPECT_TRUE(view->findChild<QCheckBox*>(QStringLiteral("weeklyReminderEnabled"))->isChecked());
    EXPECT_EQ(stepperText(*view, "logRetentionDays"), "90 日");
    EXPECT_EQ(stepperText(*view, "logRetentionMaxCount"), "10000 件");
    const auto* memory = view->findChild<QLabel*>(QStringLiteral("installedMemory"));
    EXPECT_NE(memory->text(), display::formatBytes(0));
    // Nothing was written by looking.
    EXPECT_FALSE(settings().contains(keys::ratioDisplayMode.name));
    EXPECT_FALSE(settings().contains(keys::logRetentionDays.name));
}

TEST_F(SettingsViewTest, ChoosingTheOtherRatioDisplayReachesAnOpenListenerAtOnce)
{
    settings().setValue(keys::ratioDisplayMode, QStringLiteral("sideways"));
    auto view = open();
    // An unknown stored value shows the default.
    EXPECT_TRUE(view->findChild<QRadioButton*>(QStringLiteral("remaining"))->isChecked());

    // A main window's ratio cell, following the notifier with settings of its own.
    platform::Settings mainWindowSettings;
    QString cell = display::RatioDisplayMode::fromSettings(mainWindowSettings).format(0.25);
    QObject listener;
    QObject::connect(&platform::SettingsNotifier::instance(), &platform::SettingsNotifier::changed, &listener,
                     [&](const QString& key) {
                         if (key == u"ratioDisplayMode")
                             cell = display::RatioDisplayMode::fromSettings(mainWindowSettings).format(0.25);
                     });
    EXPECT_EQ(cell, "原本の 25%");

    clickIndicator(view->findChild<QRadioButton*>(QStringLiteral("reduction")));
    EXPECT_EQ(cell, "75% 削減");
    EXPECT_EQ(settings().value(keys::ratioDisplayMode), "reduction");
    clickIndicator(view->findChild<QRadioButton*>(QStringLiteral("remaining")));
    EXPECT_EQ(cell, "原本の 25%");
    EXPECT_EQ(settings().value(keys::ratioDisplayMode), "remaining");

    // Reopened, the window shows what was chosen last.
    view.reset();
    settings().setValue(keys::ratioDisplayMode, QStringLiteral("reduction"));
    view = open();
    EXPECT_TRUE(view->findChild<QRadioButton*>(QStringLiteral("reduction"))->isChecked());
}

TEST_F(SettingsViewTest, TurningTheReminderOffRemovesItAndOnAgainSchedulesIt)
{
    center_.status = NotificationAuthorizationStatus::authorized;
    settings().setValue(keys::registeredItemCountCache, std::int64_t{3});
    center_.add({QStringLiteral("com.orbwright.kelvane.weekly-reminder"), QStringLiteral("Kelvane"), QStringLiteral("3"),
                 false, 2'592'000.0});
    auto view = open();
    view->tabs()->setCurrentIndex(3);
    auto* toggle = view->findChild<QCheckBox*>(QStringLiteral("weeklyReminderEnabled"));
    QSignalSpy announced(&platform::SettingsNotifier::instance(), &platform::SettingsNotifier::changed);

    clickIndicator(toggle);
    EXPECT_FALSE(settings().value(keys::weeklyReminderEnabled));
    EXPECT_TRUE(center_.pending.empty());
    ASSERT_EQ(announced.size(), 1);
    EXPECT_EQ(announced[0][0].toString(), "weeklyReminderEnabled");

    clickIndicator(toggle);
    EXPECT_TRUE(settings().value(keys::weeklyReminderEnabled));
    ASSERT_EQ(center_.pending.size(), 1u);
    EXPECT_EQ(center_.pending[0].identifier, "com.orbwright.kelvane.weekly-reminder");
    EXPECT_EQ(reschedules_, (std::vector<std::pair<bool, std::int64_t>>{{false, 3}, {true, 3}}));
    EXPECT_EQ(view->findChild<QLabel*>(QStringLiteral("authorizationStatus"))->text(), "許可済み");
    EXPECT_FALSE(view->findChild<QLabel*>(QStringLiteral("deniedNote"))->isVisible());
}

TEST_F(SettingsViewTest, PermissionStatesReadAsTheirTextsAndADenialOffersTheSystemSettings)
{
    EXPECT_EQ(SettingsView::authorizationText(NotificationAuthorizationStatus::notDetermined), "未確認");
    EXPECT_EQ(SettingsView::authorizationText(NotificationAuthorizationStatus::provisional), "暫定許可");
    EXPECT_EQ(SettingsView::authorizationText(NotificationAuthorizationStatus::ephemeral), "一時");
    EXPECT_EQ(SettingsView::authorizationText(static_cast<NotificationAuthorizationStatus>(7)), "不明");

    center_.status = NotificationAuthorizationStatus::denied;
    auto view = open();
    view->tabs()->setCurrentIndex(3);
    EXPECT_EQ(view->findChild<QLabel*>(QStringLiteral("authorizationStatus"))->text(), "拒否");
    EXPECT_TRUE(view->findChild<QLabel*>(QStringLiteral("deniedNote"))->isVisible());
    QPushButton* openSettings = nullptr;
    for (auto* button : view->findChildren<QPushButton*>())
        if (button->text() == "システム設定を開く")
            openSettings = button;
    ASSERT_NE(openSettings, nullptr);
    QTest::mouseClick(openSettings, Qt::LeftButton);
    ASSERT_EQ(shell_.openedUrls.size(), 1u);
    EXPECT_EQ(shell_.openedUrls[0].scheme(), "x-apple.systempreferences");
}

// Nothing is ever shown through it.
class NoDelivery : public platform::NotificationDelivery {
public:
    void deliver(const platform::NotificationRequest&, std::function<void(bool)> done) override { done(false); }
};

TEST_F(SettingsViewTest, APermissionValueTheTabDoesNotKnowReadsAsUnknownAndSchedulesNothing)
{
    const std::filesystem::path stateFile = dir_.path() / "notifications.json";
    NoDelivery delivery;
    settings().setValue(keys::registeredItemCountCache, std::int64_t{3});
    // What the desktop keeps: a value from a later platform, a fraction, a
    // text. Only a missing value means nobody was asked yet.
    const std::pair<const char*, const char*> stored[] = {
        {"7", "不明"}, {"-2", "不明"}, {"2.5", "不明"}, {"1e12", "不明"}, {"\"2\"", "未確認"}, {nullptr, "未確認"}};
    for (const auto& [raw, shown] : stored) {
        SCOPED_TRACE(raw ? raw : "absent");
        QFile file(QString::fromStdString(stateFile.string()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(raw ? QByteArray("{\"authorizationStatus\": ") + raw + "}" : QByteArray("{}"));
        file.close();
        platform::DesktopNotificationCenter center(stateFile, delivery);
        auto view = std::make_unique<SettingsView>(
            settings(), center,
            [&center](bool enabled, std::int64_t count) {
                app::NotificationScheduler(center).reschedule(enabled, count);
            },
            shell_);
        view->show();
        view->tabs()->setCurrentIndex(3);
        auto* status = view->findChild<QLabel*>(QStringLiteral("authorizationStatus"));
        EXPECT_EQ(status->text(), QString::fromUtf8(shown));
        if (std::string_view(shown) != "不明")
            continue;
        // Off and on again: the reminder is removed and none is scheduled,
        // and the unknown permission is not asked for again.
        auto* toggle = view->findChild<QCheckBox*>(QStringLiteral("weeklyReminderEnabled"));
        clickIndicator(toggle);
        clickIndicator(toggle);
        EXPECT_TRUE(settings().value(keys::weeklyReminderEnabled));
        EXPECT_TRUE(center.pendingNotificationRequests().empty());
        EXPECT_EQ(status->text(), "不明");
        EXPECT_FALSE(view->findChild<QLabel*>(QStringLiteral("deniedNote"))->isVisible());
    }
}

TEST_F(SettingsViewTest, ASettingThatCannotBeWrittenIsToldLoggedAndNotShownAsChanged)
{
    center_.status = NotificationAuthorizationStatus::authorized;
    settings().setValue(keys::registeredItemCountCache, std::int64_t{3});
    auto view = open();
    const auto since = std::chrono::system_clock::now() - std::chrono::seconds(1);
    // The settings file cannot be replaced any more (a folder took its name;
    // permissions would not stop the root user the tests may run as).
    const std::filesystem::path file = settings().file();
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
    QSignalSpy announced(&platform::SettingsNotifier::instance(), &platform::SettingsNotifier::changed);

    auto expectAlert = [&](const char* what) {
        SCOPED_TRACE(what);
        QMessageBox* alert = nullptr;
        ASSERT_TRUE(waitUntil([&] {
            alert = view->window()->findChild<QMessageBox*>(QStringLiteral("settingNotSaved"));
            return alert && alert->isVisible();
        }));
        EXPECT_EQ(alert->text(), "設定を保存できませんでした。変更は反映されていません。");
        EXPECT_EQ(alert->informativeText(), QStringLiteral("保存先: ") + QString::fromStdString(file.string()));
        alert->accept();
        ASSERT_TRUE(waitUntil([&] { return !view->window()->findChild<QMessageBox*>(QStringLiteral("settingNotSaved")); }));
    };

    clickIndicator(view->findChild<QRadioButton*>(QStringLiteral("reduction")));
    expectAlert("ratio");
    EXPECT_TRUE(view->findChild<QRadioButton*>(QStringLiteral("remaining"))->isChecked());
    EXPECT_FALSE(view->findChild<QRadioButton*>(QStringLiteral("reduction"))->isChecked());

    view->tabs()->setCurrentIndex(3);
    auto* toggle = view->findChild<QCheckBox*>(QStringLiteral("weeklyReminderEnabled"));
    clickIndicator(toggle);
    expectAlert("reminder");
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_TRUE(reschedules_.empty());  // nothing changed, so nothing is rescheduled

    view->tabs()->setCurrentIndex(4);
    press(*view, "logRetentionDays", "increment");
    expectAlert("retention");
    EXPECT_EQ(stepperText(*view, "logRetentionDays"), "90 日");

    EXPECT_EQ(announced.size(), 0);  // no open window follows a change that did not happen
    int logged = 0;
    for (const auto& entry : platform::LogStore::currentProcess().entries(since))
        if (entry.category == "ui" && entry.message.starts_with("setting ") &&
            entry.message.find(" not saved to ") != std::string::npos)
            ++logged;
    EXPECT_EQ(logged, 3);
}

TEST_F(SettingsViewTest, RetentionSteppersMoveByTheirStepsAndStopAtTheirBounds)
{
    auto view = open();
    press(*view, "logRetentionDays", "increment");
    EXPECT_EQ(stepperText(*view, "logRetentionDays"), "91 日");
    EXPECT_EQ(settings().value(keys::logRetentionDays), 91);
    press(*view, "logRetentionMaxCount", "increment");
    EXPECT_EQ(stepperText(*view, "logRetentionMaxCount"), "11000 件");
    EXPECT_EQ(settings().value(keys::logRetentionMaxCount), 11000);

    // Near the bounds.
    view.reset();
    settings().setValue(keys::logRetentionDays, std::int64_t{364});
    settings().setValue(keys::logRetentionMaxCount, std::int64_t{100});
    view = open();
    press(*view, "logRetentionDays", "increment", 3);
    EXPECT_EQ(stepperText(*view, "logRetentionDays"), "365 日");
    EXPECT_EQ(settings().value(keys::logRetentionDays), 365);
    press(*view, "logRetentionMaxCount", "decrement");
    EXPECT_EQ(stepperText(*view, "logRetentionMaxCount"), "100 件");
    press(*view, "logRetentionMaxCount", "increment");
    EXPECT_EQ(stepperText(*view, "logRetentionMaxCount"), "1100 件");

    view.reset();
    settings().setValue(keys::logRetentionDays, std::int64_t{2});
    settings().setValue(keys::logRetentionMaxCount, std::int64_t{99500});
    view = open();
    press(*view, "logRetentionDays", "decrement", 3);
    EXPECT_EQ(settings().value(keys::logRetentionDays), 1);
    press(*view, "logRetentionMaxCount", "increment", 2);
    EXPECT_EQ(stepperText(*view, "logRetentionMaxCount"), "100000 件");
    press(*view, "logRetentionMaxCount", "decrement");
    EXPECT_EQ(stepperText(*view, "logRetentionMaxCount"), "99000 件");
}

TEST_F(SettingsViewTest, StoredRetentionOutsideTheRangeIsShownAsStoredAndTheFirstPressBringsItIn)
{
    settings().setValue(keys::logRetentionDays, std::int64_t{500});
    settings().setValue(keys::logRetentionMaxCount, std::int64_t{0});
    auto view = open();
    EXPECT_EQ(stepperText(*view, "logRetentionDays"), "500 日");
    EXPECT_EQ(stepperText(*view, "logRetentionMaxCount"), "0 件");
    press(*view, "logRetentionDays", "decrement");
    EXPECT_EQ(stepperText(*view, "logRetentionDays"), "365 日");
    press(*view, "logRetentionMaxCount", "increment");
    EXPECT_EQ(stepperText(*view, "logRetentionMaxCount"), "1000 件");
}

}  // namespace
}  // namespace kelvane::ui::test
