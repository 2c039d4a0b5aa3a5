// SPDX-License-Identifier: MIT
#include "ui/common/TextStyles.h"

#include "support/Contrast.h"
#include "support/WidgetApplication.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>

namespace kelvane::ui {
namespace {

using test::contrastRatio;

QColor drawn(const QLabel& label) { return label.palette().color(label.foregroundRole()); }

// Secondary text reads on its background in a light and in a dark palette,
// is quieter than the primary text next to it, and follows the desktop when
// it switches from one to the other with the window open.
TEST(TextStyles, SecondaryTextStaysReadableAndQuieterInALightAndADarkPalette)
{
    test::widgetApplication();
    const QPalette before = QApplication::palette();
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* primary = new QLabel(QStringLiteral("12.3 GB"));
    auto* secondary = new QLabel(QStringLiteral("現在の削減"));
    setSecondaryText(secondary);  // before it has a parent, as the bars make them
    layout->addWidget(primary);
    layout->addWidget(secondary);
    window.show();

    for (const auto& [name, palette] : {std::pair{"light", test::lightPalette()}, std::pair{"dark", test::darkPalette()},
                                        std::pair{"light again", test::lightPalette()}}) {
        SCOPED_TRACE(name);
        QApplication::setPalette(palette);
        QCoreApplication::processEvents();
        const QColor background = window.palette().color(QPalette::Window);
        EXPECT_GE(contrastRatio(drawn(*secondary), background), 4.5)
            << drawn(*secondary).name().toStdString() << " on " << background.name().toStdString();
        EXPECT_LT(contrastRatio(drawn(*secondary), background), contrastRatio(drawn(*primary), background));
    }

    // Back to the primary colour when it stops being secondary.
    setSecondaryText(secondary, false);
    EXPECT_EQ(drawn(*secondary), drawn(*primary));
    QApplication::setPalette(before);
}

}  // namespace
}  // namespace kelvane::ui
