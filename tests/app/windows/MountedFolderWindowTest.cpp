// SPDX-License-Identifier: MIT
// The main window on a folder that kelvanefs covers, as a user adds it.

#include "fs/MountFixture.h"
#include "ui/common/MenuCommands.h"

#include "app/WindowScenes.h"
#include "operations/rows/FileStatusCache.h"
#include "platform/KelvanefsMount.h"
#include "platform/qt/LanguageModel.h"
#include "platform/qt/Settings.h"
#include "platform/qt/SettingsKeys.h"
#include "store/ModelContainer.h"
#include "store/RegisteredItem.h"
#include "ui/main/MainWindow.h"
#include "ui/sheets/FolderRegistrationSheet.h"

#include "support/EventLoopWait.h"
#include "support/FakeShell.h"
#include "support/MenuItem.h"
#include "support/WidgetApplication.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

namespace kelvane::fs::test {
namespace {

bool settles(const std::function<bool()>& condition)
{
    return kelvane::test::runEventsUntil(condition, std::chrono::seconds(60));
}

class MountedFolderWindowTest : public MountTest {
protected:
    void SetUp() override
    {
        MountTest::SetUp();
        if (IsSkipped())
            return;
        kelvane::test::widgetApplication();
        home_.useAsHome();
        platform::Settings().setValue(platform::settings_keys::hasShownFirstLaunchAbout, true);
        container_ = store::ModelContainer::open({home_ / "store.sqlite"});
    }

    void TearDown() override
    {
        scenes_.reset();
        MountTest::TearDown();
    }

    ui::MainWindow& open()
    {
        scenes_ = std::make_unique<app::WindowScenes>(container_, cache_, shell_,
                                                      platform::LanguageModel::unavailableModel());
        scenes_->mainWindow().show();
        return scenes_->mainWindow();
    }

    QAction* menuItem(ui::MenuCommand command) const
    {
        return kelvane::test::menuItem(scenes_->mainWindow(), ui::menuCommandName(command));
    }

    kelvane::test::TempDir home_;
    std::shared_ptr<store::ModelContainer> container_;
    operations::FileStatusCache cache_;
    kelvane::test::FakeShell shell_;
    std::unique_ptr<app::WindowScenes> scenes_;
};

// Without the mount's socket the folder cannot be counted or registered: the
// sheet says it is the mount that cannot be reached (the folder is there, so
// "not found" would send the user looking for a moved folder), and nothing
// is registered.
TEST_F(MountedFolderWindowTest, AddingAFolderWhoseMountCannotBeReachedNamesTheMount)
{
    std::filesystem::create_directories(at("sub"));
    kelvane::test::writeRawFile(at("a.txt"), Bytes(20000, 'a'));
    kelvane::test::writeRawFile(at("sub/b.txt"), Bytes(20000, 'b'));
    mountFolder();
    std::filesystem::remove(platform::kelvanefsSocketPath(folder()));
    const std::string mountNamed = "kelvanefs mount at " + folder().string();

    ui::MainWindow& window = open();
    shell_.pickAnswers.push_back({folder()});
    QAction* add = menuItem(ui::MenuCommand::openAddPanel);
    ASSERT_NE(add, nullptr);
    add->trigger();
    ui::FolderRegistrationSheet* sheet = nullptr;
    ASSERT_TRUE(settles([&] {
        return (sheet = qobject_cast<ui::FolderRegistrationSheet*>(window.sheets().current())) != nullptr;
    }));
    auto* error = sheet->findChild<QLabel*>(QStringLiteral("errorMessage"));
    ASSERT_NE(error, nullptr);
    ASSERT_TRUE(settles([&] { return error->isVisibleTo(sheet); }));
    EXPECT_TRUE(error->text().startsWith(QStringLiteral("件数取得に失敗: "))) << error->text().toStdString();
    EXPECT_TRUE(error->text().contains(QString::fromStdString(mountNamed))) << error->text().toStdString();
    EXPECT_EQ(sheet->findChild<QLabel*>(QStringLiteral("fileCount"))->text(), QStringLiteral("—"));

    QTest::keyClick(sheet, Qt::Key_Return);
    EXPECT_EQ(window.sheets().current(), sheet) << "the sheet closed as if the folder were registered";
    EXPECT_TRUE(error->text().startsWith(QStringLiteral("登録に失敗: "))) << error->text().toStdString();
    EXPECT_TRUE(error->text().contains(QString::fromStdString(mountNamed))) << error->text().toStdString();
    EXPECT_TRUE(container_->makeContext()->fetch(store::FetchDescriptor<store::RegisteredItem>()).empty());
}

}  // namespace
}  // namespace kelvane::fs::test
