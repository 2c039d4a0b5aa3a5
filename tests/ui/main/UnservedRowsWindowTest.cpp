// SPDX-License-Identifier: MIT
// What the window shows for files compressed where no kelvanefs mount serves
// them, and its action that mounts their folder again, as a user sees and
// presses them.
#include "MainWindowTestSupport.h"

#include "engine/Eligibility.h"
#include "engine/FileCompressor.h"
#include "operations/mounts/RegisteredMounts.h"
#include "ui/common/Popover.h"
#include "ui/main/ActionCell.h"
#include "support/KelvanefsMounts.h"
#include "support/ScopedEnvironment.h"

#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QToolBar>

#include <sys/stat.h>

namespace kelvane::ui::test {
namespace {

using operations::MountKeeper;
using operations::MountKeeperSettings;
using operations::RegisteredMounts;

class UnservedRowsWindowTest : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        folder_ = home_ / "Docs";
        original_ = std::string(60000, 'z') + "the end";
        fs::create_directories(folder_);
        std::ofstream(folder_ / "packed.txt", std::ios::binary) << original_;
        makeFile(folder_ / "plain.txt");
        engine::FileCompressor{}.compressFile(folder_ / "packed.txt");  // the rule is still off
        // The socket of a mount goes to the test's own runtime folder.
        fs::create_directories(home_ / "run");
        ::chmod((home_ / "run").c_str(), 0700);
        runtime_.emplace("XDG_RUNTIME_DIR", (home_ / "run").string());
        settings_.kelvanefs = fs::path(KELVANE_BINARY_DIR) / "kelvanefs";
        settings_.userUnits = false;  // no user manager in tests: kelvanefs is started here
        engine::Eligibility::enforceMountRule(true);
    }

    void TearDown() override
    {
        engine::Eligibility::enforceMountRule(false);
        closeWindow();
        mounts_.reset();
        kelvane::test::unmountKelvanefsBelow(home_.path());
        runtime_.reset();
        MainWindowFixture::TearDown();
    }

    void startWith(MountKeeperSettings settings)
    {
        registerItem(folder_, true);
        mounts_ = std::make_unique<RegisteredMounts>(*container_, MountKeeper(std::move(settings)));
        model_->setMounts(mounts_.get());
        openWindow();
        ASSERT_TRUE(waitFor([&] { return rowNamed("Docs").isValid(); }));
        window_->table()->expand(rowNamed("Docs"));
    }

    QString status(const std::string& name) const { return cellText(name, MainColumn::status); }

    // Clicks the row's first "操作" button as the mouse would.
    void pressActionOf(const std::string& name)
    {
        const QModelIndex cell = rowNamed(name, MainColumn::action);
        window_->table()->scrollTo(cell);
        const QRect rect = window_->table()->visualRect(cell);
        const auto buttons = ActionCellDelegate::buttonsAt(cell);
        ASSERT_FALSE(buttons.empty());
        const QRect button = ActionCell::buttonRects(rect, buttons, window_->table()->font()).front();
        QTest::mouseClick(window_->table()->viewport(), Qt::LeftButton, Qt::NoModifier, button.center());
    }

    // Clicks the status cell and gives the popover's explanation.
    QString popoverText(const std::string& name)
    {
        const QModelIndex cell = rowNamed(name, MainColumn::status);
        window_->table()->scrollTo(cell);
        QTest::mouseClick(window_->table()->viewport(), Qt::LeftButton, Qt::NoModifier,
                          window_->table()->visualRect(cell).center());
        if (!waitFor([&] { return window_->popover() != nullptr; }))
            return QStringLiteral("<no popover>");
        return window_->popover()->findChild<QLabel*>(QStringLiteral("explanation"))->text();
    }

    std::string readThroughTheFolder() const
    {
        std::ifstream in(folder_ / "packed.txt", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path folder_;
    std::string original_;
    MountKeeperSettings settings_;
    std::optional<kelvane::test::ScopedEnvironment> runtime_;
    std::unique_ptr<RegisteredMounts> mounts_;
};

TEST_F(UnservedRowsWindowTest, WhereNothingCanBeMountedTheRowSaysWhyAndItsActionAsksTheKeeper)
{
    settings_.tools.device = home_ / "no-such-device";
    startWith(settings_);
    // Each row is inspected in its own time.
    ASSERT_TRUE(waitFor([&] {
        return status("packed.txt") == QStringLiteral("⚠ 未マウント") && status("plain.txt") == QStringLiteral("○ 未圧縮");
    })) << status("packed.txt").toStdString() << " / " << status("plain.txt").toStdString();
    ASSERT_TRUE(waitFor([&] { return status("Docs") == QStringLiteral("⚠ 0 / 2"); })) << status("Docs").toStdString();
    EXPECT_TRUE(rowNamed("Docs", MainColumn::status).data(Qt::ToolTipRole).toString().contains(QStringLiteral("未マウント: 1 件")));

    // Its one action, in the cell and in the row's menu.
    const auto buttons = ActionCellDelegate::buttonsAt(rowNamed("packed.txt", MainColumn::action));
    ASSERT_EQ(buttons.size(), 1u);
    EXPECT_EQ(buttons[0].kind, RowAction::mount);
    EXPECT_EQ(buttons[0].title, QStringLiteral("マウント"));
    {
        std::unique_ptr<QMenu> menu(window_->makeContextMenu({rows().row(rowNamed("packed.txt"))->id}));
        ASSERT_NE(menu, nullptr);
        QAction* mount = menu->findChild<QAction*>(QStringLiteral("rowMount"));
        ASSERT_NE(mount, nullptr);
        EXPECT_EQ(mount->text(), QStringLiteral("マウント(&M)"));
        EXPECT_NE(menu->findChild<QAction*>(QStringLiteral("refreshSelection")), nullptr) << "beside the others";
    }

    // The popover gives the mount's state and the keeper's refusal.
    ASSERT_TRUE(waitFor([&] { return !mounts_->isWorking() && mounts_->outcome(folder_); }));
    const QString reason = popoverText("packed.txt");
    EXPECT_TRUE(reason.contains(QStringLiteral("kelvanefs のマウントがない場所"))) << reason.toStdString();
    EXPECT_TRUE(reason.contains(QStringLiteral("マウントできなかった理由: FUSE のデバイスがない"))) << reason.toStdString();
    window_->popover()->close();

    // Its plain file and the folder itself say why nothing there is compressed.
    for (const char* name : {"plain.txt", "Docs"}) {
        const QString why = popoverText(name);
        EXPECT_TRUE(why.contains(QStringLiteral("ここのファイルは圧縮しません"))) << name << ": " << why.toStdString();
        EXPECT_TRUE(why.contains(QStringLiteral("理由: FUSE のデバイスがない"))) << name << ": " << why.toStdString();
        if (window_->popover())
            window_->popover()->close();
    }

    // Pressing it asks the keeper, whose refusal is said with its reason.
    int asked = 0;
    QObject::connect(mounts_.get(), &RegisteredMounts::changed, [&] { ++asked; });
    pressActionOf("packed.txt");
    ASSERT_TRUE(waitFor([&] { return asked == 1 && model_->errorMessage(); }));
    auto* alert = window_->findChild<QMessageBox*>(QStringLiteral("errorAlert"));
    ASSERT_NE(alert, nullptr);
    EXPECT_TRUE(alert->text().contains(QStringLiteral("やり直せませんでした"))) << alert->text().toStdString();
    EXPECT_TRUE(alert->text().contains(QStringLiteral("FUSE のデバイスがない"))) << alert->text().toStdString();
    ASSERT_TRUE(waitFor([&] { return status("packed.txt") == QStringLiteral("⚠ 未マウント"); }));
}

TEST_F(UnservedRowsWindowTest, AKilledDaemonIsSeenAtTheNextRefreshAndTheActionMountsAgain)
{
    if (const auto why = kelvane::test::whyNoKelvanefsMounts())
        GTEST_SKIP() << "kelvanefs mounts cannot be made here: " << *why;
    startWith(settings_);
    ASSERT_TRUE(waitFor([&] { return status("packed.txt") == QStringLiteral("● 圧縮済み"); }))
        << status("packed.txt").toStdString();
    ASSERT_EQ(readThroughTheFolder(), original_);

    ASSERT_TRUE(kelvane::test::killKelvanefsDaemon(folder_));
    for (QAction* action : window_->findChild<QToolBar*>(QStringLiteral("toolbar"))->actions())
        if (action->text() == QStringLiteral("更新"))
            action->trigger();
    // Every row is inspected again, each in its own time: nothing there can be read.
    const auto unserved = [&](const char* name) { return status(name) == QStringLiteral("⚠ 未マウント"); };
    ASSERT_TRUE(waitFor([&] { return unserved("packed.txt") && unserved("plain.txt"); }))
        << status("packed.txt").toStdString() << " / " << status("plain.txt").toStdString();
    EXPECT_FALSE(model_->errorMessage()) << "the listing's failure is the rows' state, not an alert";
    const QString reason = popoverText("packed.txt");
    EXPECT_TRUE(reason.contains(QStringLiteral("が応答しません"))) << reason.toStdString();
    window_->popover()->close();

    pressActionOf("packed.txt");
    ASSERT_TRUE(waitFor([&] {
        return status("packed.txt") == QStringLiteral("● 圧縮済み") && status("plain.txt") == QStringLiteral("○ 未圧縮");
    })) << status("packed.txt").toStdString() << " / " << status("plain.txt").toStdString();
    EXPECT_FALSE(model_->errorMessage());
    EXPECT_EQ(readThroughTheFolder(), original_);
}

}  // namespace
}  // namespace kelvane::ui::test
