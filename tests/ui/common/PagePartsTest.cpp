// SPDX-License-Identifier: MIT
#include "ui/common/PageParts.h"

#include "support/WidgetApplication.h"

#include <gtest/gtest.h>

#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>

namespace kelvane::ui {
namespace {

using page::FormGroup;

// The separator lines of a group that are shown, top to bottom.
std::vector<int> shownLines(const FormGroup& form)
{
    std::vector<int> tops;
    for (const QFrame* line : form.findChildren<QFrame*>(Qt::FindDirectChildrenOnly))
        if (line->height() == 1 && line->isVisibleTo(&form))
            tops.push_back(line->geometry().top());
    std::sort(tops.begin(), tops.end());
    return tops;
}

TEST(FormGroup, RowsAreFoundByNameAndHiddenRowsTakeTheirLineAlong)
{
    test::widgetApplication();
    FormGroup form;
    form.addTextRow(QStringLiteral("一行目"), QStringLiteral("1"), QStringLiteral("first"));
    QLabel* second = form.addTextRow(QStringLiteral("二行目"), QStringLiteral("2"), QStringLiteral("second"), true);
    auto* wide = new QLabel(QStringLiteral("across"));
    form.addWideRow(wide);
    form.resize(400, 200);
    form.show();
    EXPECT_EQ(form.rowCount(), 3);
    EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("value:second")), second);
    EXPECT_TRUE(second->textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_EQ(shownLines(form).size(), 2u);

    form.setRowVisible(second, false);
    EXPECT_FALSE(second->isVisible());
    std::vector<QString> shownLabels;
    for (const QLabel* label : form.findChildren<QLabel*>())
        if (label->isVisible())
            shownLabels.push_back(label->text());
    EXPECT_EQ(shownLabels, (std::vector<QString>{"一行目", "1", "across"}));
    EXPECT_EQ(shownLines(form).size(), 1u);

    // With the first row gone no line is left above the ones that remain.
    form.setRowVisible(form.findChild<QLabel*>(QStringLiteral("value:first")), false);
    EXPECT_EQ(shownLines(form).size(), 0u);
    form.setRowVisible(second, true);
    form.setRowVisible(form.findChild<QLabel*>(QStringLiteral("value:first")), true);
    EXPECT_EQ(shownLines(form).size(), 2u);
    EXPECT_TRUE(second->isVisible());
}

TEST(FormGroup, ALongTextWrapsInsideTheGroupAndAShortOneKeepsToTheTrailingEdge)
{
    test::widgetApplication();
    QWidget page;
    auto* layout = new QVBoxLayout(&page);
    auto [section, form] = page::formSection(QStringLiteral("環境"));
    layout->addWidget(section);
    QLabel* path = form->addTextRow(QStringLiteral("フォルダ"),
                                    QStringLiteral("/home/someone/.local/share/Kelvane/with/a/rather/long/path/inside"),
                                    QStringLiteral("folder"));
    path->setWordWrap(true);
    QLabel* count = form->addTextRow(QStringLiteral("件数"), QStringLiteral("3 件"), QStringLiteral("count"));
    page.resize(320, 400);
    page.show();
    layout->activate();
    EXPECT_EQ(section->findChild<QLabel*>(QStringLiteral("title"))->text(), "環境");
    const QRect inside = path->geometry();
    EXPECT_LE(inside.right(), form->width());
    EXPECT_GT(path->height(), path->fontMetrics().height()) << "the path wraps onto more lines";
    EXPECT_TRUE(path->text().endsWith("inside"));
    // Drawn from the right, up to the group's inner margin.
    EXPECT_TRUE(count->alignment() & Qt::AlignRight);
    EXPECT_GE(count->geometry().right(), form->width() - 13);
}

}  // namespace
}  // namespace kelvane::ui
