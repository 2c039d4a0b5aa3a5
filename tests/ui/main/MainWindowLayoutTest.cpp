// SPDX-License-Identifier: MIT
#include "MainWindowTestSupport.h"

#include "ui/common/ColumnWidths.h"
#include "ui/common/TableCells.h"

#include <QHeaderView>
#include <QScreen>
#include <QTest>

namespace kelvane::ui::test {
namespace {

class MainWindowLayoutTest : public MainWindowFixture {
protected:
    QHeaderView* header() const { return window_->findChild<RowTreeView*>()->header(); }
    int viewportWidth() const { return window_->findChild<RowTreeView*>()->viewport()->width(); }

    void resizeAndSettle(int width, int height)
    {
        window_->resize(width, height);
        ASSERT_TRUE(waitFor([&] { return window_->width() == width; }));
        QCoreApplication::processEvents();
    }

    // Every shown column lies wholly inside the view and within its bounds.
    void expectColumnsFit()
    {
        for (int c = 0; c < mainColumnCount; ++c) {
            const auto column = static_cast<MainColumn>(c);
            if (header()->isSectionHidden(c))
                continue;
            SCOPED_TRACE(TableCells::columnTitle(column).toStdString());
            const int size = header()->sectionSize(c);
            EXPECT_GE(size, TableCells::minimumWidth(column));
            if (TableCells::maximumWidth(column) > 0) {
                EXPECT_LE(size, TableCells::maximumWidth(column));
            }
            EXPECT_LE(header()->sectionViewportPosition(c) + size, viewportWidth());
        }
    }
};

TEST_F(MainWindowLayoutTest, ColumnsStayOnScreenAtTheDefaultWidthAndTheActionColumnNeverStretches)
{
    registerItem(makeFile(home_ / "notes.txt"), false);
    openWindow();
    ASSERT_TRUE(waitFor([&] { return window_->currentScreen() == window_->findChild<RowTreeView*>(); }));
    resizeAndSettle(1100, 680);
    expectColumnsFit();
    const int action = static_cast<int>(MainColumn::action);
    const int name = static_cast<int>(MainColumn::name);
    const int narrowName = header()->sectionSize(name);

    resizeAndSettle(1700, 680);
    expectColumnsFit();
    for (int c = 0; c < mainColumnCount; ++c) {
        const auto column = static_cast<MainColumn>(c);
        if (column != MainColumn::name && !header()->isSectionHidden(c)) {
            EXPECT_EQ(header()->sectionSize(c), TableCells::idealWidth(column)) << TableCells::columnTitle(column).toStdString();
        }
    }
    EXPECT_LE(header()->sectionSize(action), 130);
    EXPECT_GT(header()->sectionSize(name), narrowName) << "the room goes to the name";
    EXPECT_EQ(header()->sectionViewportPosition(action) + header()->sectionSize(action), viewportWidth())
        << "the name takes up all the room, no gap after the last column";

    // Showing the hidden location column keeps everything on screen.
    resizeAndSettle(1100, 680);
    header()->setSectionHidden(static_cast<int>(MainColumn::path), false);
    window_->findChild<ColumnWidths*>()->refit();
    expectColumnsFit();

    // A column dragged wider than its maximum stops there, and the next
    // window keeps what was dragged.
    resizeAndSettle(1700, 680);
    header()->resizeSection(static_cast<int>(MainColumn::kind), 400);
    EXPECT_EQ(header()->sectionSize(static_cast<int>(MainColumn::kind)), 110);
    header()->resizeSection(static_cast<int>(MainColumn::status), 140);
    closeWindow();
    openWindow();
    resizeAndSettle(1700, 680);
    EXPECT_EQ(header()->sectionSize(static_cast<int>(MainColumn::status)), 140);
    EXPECT_EQ(header()->sectionSize(static_cast<int>(MainColumn::ratio)), TableCells::idealWidth(MainColumn::ratio))
        << "widths fitted to a narrow window are not kept";
}

TEST_F(MainWindowLayoutTest, TheWindowOpensInsideTheScreenAndComesBackWhereItWasLeft)
{
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    openWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    EXPECT_TRUE(available.contains(window_->frameGeometry()))
        << "window " << window_->frameGeometry().width() << "x" << window_->frameGeometry().height() << " on "
        << available.width() << "x" << available.height();

    const QSize size(window_->minimumSizeHint().width() + 3, 500);
    window_->setGeometry(available.left() + 3, available.top() + 40, size.width(), size.height());
    closeWindow();
    openWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    EXPECT_EQ(window_->size(), size);
    EXPECT_EQ(window_->geometry().topLeft(), QPoint(available.left() + 3, available.top() + 40));
}

}  // namespace
}  // namespace kelvane::ui::test
