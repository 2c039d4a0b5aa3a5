// SPDX-License-Identifier: MIT
#include "MainWindowTestSupport.h"

#include "ui/common/ColumnWidths.h"
#include "ui/common/TableCells.h"
#include "ui/main/ActionCell.h"

#include "support/Contrast.h"

#include <QHeaderView>
#include <QLabel>
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

    ColumnWidth bounds(MainColumn column) const
    {
        if (column == MainColumn::action)
            return ActionCell::columnBounds(window_->findChild<RowTreeView*>()->font());
        return {TableCells::minimumWidth(column), TableCells::idealWidth(column), TableCells::maximumWidth(column)};
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
            EXPECT_GE(size, bounds(column).minimum);
            if (bounds(column).maximum > 0) {
                EXPECT_LE(size, bounds(column).maximum);
            }
            EXPECT_LE(header()->sectionViewportPosition(c) + size, viewportWidth());
        }
        // A folder with plain and compressed files shows both its buttons
        // whole inside the cell, large counts included.
        const int action = static_cast<int>(MainColumn::action);
        const QRect cell(header()->sectionViewportPosition(action), 0, header()->sectionSize(action), 24);
        operations::DisplayRow folder;
        folder.kind = operations::DisplayRow::DisplayKind::folder;
        folder.folderAggregate = operations::FolderAggregate{};
        folder.folderAggregate->compressableCount = 12345;
        folder.folderAggregate->compressedCount = 67890;
        const auto buttons = ActionCell::buttons(folder, {});
        ASSERT_EQ(buttons.size(), 2u);
        const auto rects =
            ActionCell::buttonRects(cell, buttons, window_->findChild<RowTreeView*>()->font());
        for (const QRect& rect : rects)
            EXPECT_TRUE(cell.contains(rect)) << rect.x() << "+" << rect.width() << " in " << cell.x() << "+"
                                             << cell.width();
        EXPECT_LE(rects.back().right(), viewportWidth());
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
            EXPECT_EQ(header()->sectionSize(c), bounds(column).ideal) << TableCells::columnTitle(column).toStdString();
        }
    }
    EXPECT_LE(header()->sectionSize(action), bounds(MainColumn::action).maximum);
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

TEST_F(MainWindowLayoutTest, TheBottomBarsQuietTextsReadInALightAndADarkPalette)
{
    registerItem(makeFile(home_ / "notes.txt"), false);
    openWindow();
    const QPalette before = QApplication::palette();
    auto* bar = window_->findChild<QWidget*>(QStringLiteral("bottomActionBar"));
    ASSERT_NE(bar, nullptr);
    for (const auto& [name, palette] : {std::pair{"light", kelvane::test::lightPalette()},
                                        std::pair{"dark", kelvane::test::darkPalette()}}) {
        SCOPED_TRACE(name);
        QApplication::setPalette(palette);
        QCoreApplication::processEvents();
        const QColor background = bar->palette().color(QPalette::Window);
        int quiet = 0;
        for (QLabel* label : bar->findChildren<QLabel*>()) {
            const QString text = label->text();
            if (!(text == u"現在の削減" || text.startsWith(u"(") || text.startsWith(u"選択中")))
                continue;
            ++quiet;
            const QColor drawn = label->palette().color(label->foregroundRole());
            EXPECT_GE(kelvane::test::contrastRatio(drawn, background), 4.5)
                << text.toStdString() << ": " << drawn.name().toStdString() << " on " << background.name().toStdString();
        }
        EXPECT_EQ(quiet, 3);
    }
    QApplication::setPalette(before);
}

}  // namespace
}  // namespace kelvane::ui::test
