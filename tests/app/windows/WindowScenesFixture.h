// SPDX-License-Identifier: MIT
#pragma once

// The windowed application's windows over a store in a home folder of the
// test's own, opened as a later launch (About does not open by itself).

#include "app/WindowScenes.h"
#include "operations/rows/FileStatusCache.h"
#include "platform/qt/LanguageModel.h"
#include "platform/qt/Settings.h"
#include "platform/qt/SettingsKeys.h"
#include "store/ModelContainer.h"
#include "ui/common/MenuCommands.h"
#include "ui/main/MainWindow.h"

#include "support/EventLoopWait.h"
#include "support/FakeShell.h"
#include "support/MenuItem.h"
#include "support/TempDir.h"
#include "support/WidgetApplication.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <chrono>
#include <functional>
#include <memory>

namespace kelvane::app::test {

// Runs the event loop until `condition` holds, for a minute at most.
inline bool waitFor(const std::function<bool()>& condition)
{
    return kelvane::test::runEventsUntil(condition, std::chrono::seconds(60));
}

class WindowScenesFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        kelvane::test::widgetApplication();
        home_.useAsHome();
        platform::Settings().setValue(platform::settings_keys::hasShownFirstLaunchAbout, true);
        container_ = store::ModelContainer::open({home_ / "store.sqlite"});
    }

    void TearDown() override { scenes_.reset(); }

    // The windows as the application builds them, the main window shown and active.
    void open()
    {
        scenes_.reset();
        scenes_ = std::make_unique<WindowScenes>(container_, cache_, shell_, platform::LanguageModel::unavailableModel());
        window().show();
        window().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    }

    ui::MainWindow& window() const { return scenes_->mainWindow(); }

    // The main window's menu item of `command`, or of another name
    // ("settings", "quit", "supportPage").
    QAction* menuItem(ui::MenuCommand command) const { return menuItem(ui::menuCommandName(command)); }
    QAction* menuItem(const QString& objectName) const { return kelvane::test::menuItem(window(), objectName); }

    kelvane::test::TempDir home_;
    std::shared_ptr<store::ModelContainer> container_;
    operations::FileStatusCache cache_;
    kelvane::test::FakeShell shell_;
    std::unique_ptr<WindowScenes> scenes_;
};

}  // namespace kelvane::app::test
