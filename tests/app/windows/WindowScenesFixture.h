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
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

namespace kelvane::app::test {

class WindowScenesFixture : public ::testing::Test {
protected:
    // Runs the event loop until `condition` holds, for a minute at most.
    static bool waitFor(const std::function<bool()>& condition)
    {
        return kelvane::test::runEventsUntil(condition, std::chrono::seconds(60));
    }

    // A text file of `size` bytes that compresses well, its folders made as needed.
    static void writeText(const std::filesystem::path& path, std::size_t size)
    {
        std::filesystem::create_directories(path.parent_path());
        std::string text;
        for (std::size_t i = 0; text.size() < size; ++i)
            text += "line " + std::to_string(i) + " of a text that compresses well\n";
        text.resize(size);
        std::ofstream(path, std::ios::binary) << text;
    }

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
