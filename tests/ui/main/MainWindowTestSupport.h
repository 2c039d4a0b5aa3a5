// SPDX-License-Identifier: MIT
#pragma once

// The main window over a store in the test's own home folder, with the
// desktop played by a fake, and helpers that look at the window as a user
// would.

#include "discovery/RegistrationCoordinator.h"
#include "operations/rows/FileStatusCache.h"
#include "operations/windows/MainWindowModel.h"
#include "store/ModelContainer.h"
#include "store/RegisteredItem.h"
#include "ui/common/DisplayRowTreeModel.h"
#include "ui/common/RowTreeView.h"
#include "ui/main/MainWindow.h"

#include "support/EventLoopWait.h"
#include "support/FakeShell.h"
#include "support/TempDir.h"
#include "support/WidgetApplication.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QPushButton>
#include <QTest>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace kelvane::ui::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

inline bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 60s)
{
    return kelvane::test::runEventsUntil(condition, timeout);
}

class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        kelvane::test::widgetApplication();
        home_.useAsHome();
        container_ = store::ModelContainer::open({home_ / "store.sqlite"});
        cache_ = std::make_unique<operations::FileStatusCache>();
        model_ = std::make_unique<operations::MainWindowModel>(*cache_, container_->mainContext());
    }

    void TearDown() override
    {
        closeWindow();
        model_.reset();
    }

    void openWindow(MainWindowHooks hooks = {})
    {
        window_ = std::make_unique<MainWindow>(*model_, *container_, shell_, QStringLiteral("v0.1.0 (build 1)"),
                                               std::move(hooks));
        tester_ = std::make_unique<QAbstractItemModelTester>(window_->rowModel(),
                                                             QAbstractItemModelTester::FailureReportingMode::Fatal);
        window_->show();
    }

    void closeWindow()
    {
        tester_.reset();
        window_.reset();
    }

    fs::path makeFile(const fs::path& path, std::size_t size = 5000)
    {
        fs::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary);
        out << std::string(size, 'k');
        return path;
    }

    void registerItem(const fs::path& path, bool folder, bool includeSubfolders = true)
    {
        discovery::RegistrationCoordinator{}.registerItem(
            path, folder ? discovery::ItemKind::folder : discovery::ItemKind::file, includeSubfolders,
            container_->mainContext());
    }

    std::vector<std::shared_ptr<store::RegisteredItem>> storedItems()
    {
        return container_->makeContext()->fetch(store::FetchDescriptor<store::RegisteredItem>());
    }
    std::shared_ptr<store::RegisteredItem> storedItem(const std::string& name)
    {
        for (const auto& item : storedItems())
            if (item->displayName() == name)
                return item;
        return nullptr;
    }

    DisplayRowTreeModel& rows() const { return *window_->rowModel(); }

    // The first row (at any depth) with this name.
    QModelIndex rowNamed(const std::string& name, MainColumn column = MainColumn::name) const
    {
        for (int r = 0; r < rows().rowCount(); ++r) {
            const QModelIndex top = rows().index(r, 0);
            if (rows().row(top)->displayName == name)
                return top.siblingAtColumn(static_cast<int>(column));
            for (int c = 0; c < rows().rowCount(top); ++c) {
                const QModelIndex child = rows().index(c, 0, top);
                if (rows().row(child)->displayName == name)
                    return child.siblingAtColumn(static_cast<int>(column));
            }
        }
        return {};
    }
    QString cellText(const std::string& name, MainColumn column) const
    {
        const QModelIndex index = rowNamed(name, column);
        return index.isValid() ? index.data().toString() : QStringLiteral("<no row>");
    }
    // Whether any status cell of the table, folder files included, shows a spinner.
    bool anyRowSpins() const
    {
        const int status = static_cast<int>(MainColumn::status);
        for (int r = 0; r < rows().rowCount(); ++r) {
            const QModelIndex top = rows().index(r, status);
            if (top.data(DisplayRowTreeModel::SpinnerRole).toBool())
                return true;
            const QModelIndex parent = top.siblingAtColumn(0);
            for (int c = 0; c < rows().rowCount(parent); ++c)
                if (rows().index(c, status, parent).data(DisplayRowTreeModel::SpinnerRole).toBool())
                    return true;
        }
        return false;
    }

    static QPushButton* buttonNamed(QWidget* in, const char* objectName)
    {
        return in->findChild<QPushButton*>(QString::fromLatin1(objectName));
    }

    // The status popover of the row with this name, shown, and its retry
    // button clicked; the row then waits for its new status.
    void retryFromThePopover(const std::string& name)
    {
        window_->showStatusDetail(rows().row(rowNamed(name))->id);
        ASSERT_TRUE(waitFor([&] { return window_->popover() && window_->popover()->isVisible(); }));
        QTest::mouseClick(buttonNamed(window_->popover(), "retry"), Qt::LeftButton);
    }

    kelvane::test::TempDir home_;
    std::shared_ptr<store::ModelContainer> container_;
    std::unique_ptr<operations::FileStatusCache> cache_;
    std::unique_ptr<operations::MainWindowModel> model_;
    kelvane::test::FakeShell shell_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<QAbstractItemModelTester> tester_;
};

}  // namespace kelvane::ui::test
