// SPDX-License-Identifier: MIT
#include "ui/common/Symbols.h"

#include "discovery/WizardPreset.h"
#include "ui/common/TextStyles.h"

#include "support/WidgetApplication.h"

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSet>

namespace kelvane::ui {
namespace {

// Lit pixels of the drawing on a transparent square.
int litPixels(const QString& name, const QColor& color)
{
    const QImage image = symbolPixmap(name, color, 32).toImage();
    int lit = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            lit += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
    return lit;
}

// Every symbol name the sources spell out: dotted names anywhere, any name on
// a line that speaks of a symbol or an icon, and the windows' char16_t
// literals, which they use for symbol names only.
QMap<QString, QString> symbolNamesInSources()
{
    static const QSet<QString> notSymbols{
        QStringLiteral("store.sqlite"), QStringLiteral("tar.gz"), QStringLiteral("com.orbwright.kelvane"),
        QStringLiteral("symbol"), QStringLiteral("arm64"), QStringLiteral("true"), QStringLiteral("false")};
    static const QRegularExpression literal(QStringLiteral(R"re((\bu)?"([a-z][a-z0-9.]*)")re"));
    static const QRegularExpression dotted(QStringLiteral(R"(^[a-z][a-z0-9]*(\.[a-z0-9]+)+$)"));
    static const QRegularExpression mentions(QStringLiteral("symbol|icon"),
                                             QRegularExpression::CaseInsensitiveOption);
    QMap<QString, QString> found;  // name -> where
    const QString root = QStringLiteral(KELVANE_SOURCE_DIR "/src");
    QDirIterator files(root, {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        const QString relative = path.mid(root.size() + 1);
        // The layers under the windows name files, attributes and mounts, never symbols.
        if (relative == QLatin1String("ui/common/Symbols.cpp") || relative.startsWith(QLatin1String("codec/")) ||
            relative.startsWith(QLatin1String("platform/")) || relative.startsWith(QLatin1String("engine/")) ||
            relative.startsWith(QLatin1String("store/")))
            continue;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            ADD_FAILURE() << "cannot read " << path.toStdString();
        int lineNumber = 0;
        for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
            ++lineNumber;
            if (line.trimmed().startsWith(QLatin1String("//")) || line.contains(QLatin1String("#include")))
                continue;
            for (auto it = literal.globalMatch(line); it.hasNext();) {
                const auto match = it.next();
                const QString name = match.captured(2);
                const bool wide = !match.captured(1).isEmpty() && relative.startsWith(QLatin1String("ui/"));
                // File-system types ("fuse.rclone") are dotted too.
                if (notSymbols.contains(name) || name.startsWith(QLatin1String("fuse.")))
                    continue;
                if (dotted.match(name).hasMatch() || mentions.match(line).hasMatch() || wide)
                    found.insert(name, QStringLiteral("%1:%2").arg(relative).arg(lineNumber));
            }
        }
    }
    return found;
}

TEST(SymbolsTest, EveryNameHasAThemeIconAndADrawingOfItsOwn)
{
    test::widgetApplication();
    const QStringList names = knownSymbols();
    ASSERT_GE(names.size(), 90);
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), names.size()) << "a name listed twice";
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_TRUE(isKnownSymbol(name));
        EXPECT_FALSE(symbolThemeName(name).isEmpty());
        EXPECT_FALSE(symbolIcon(name).isNull());
        EXPECT_FALSE(symbolIcon(name).pixmap(24, 24).isNull());
        EXPECT_FALSE(symbolIcon(name, Qt::red).isNull());
        // Something is drawn, and it is no blot filling the square.
        const int lit = litPixels(name, Qt::black);
        EXPECT_GT(lit, 20);
        EXPECT_LT(lit, 32 * 32 * 9 / 10);
        EXPECT_EQ(litPixels(name, Qt::white), lit) << "the drawing depends on its colour";
    }
}

TEST(SymbolsTest, FilledAndOutlinedVariantsAreDrawnDifferently)
{
    test::widgetApplication();
    for (const auto& [outlined, filled] : {std::pair{"checkmark.circle", "checkmark.circle.fill"},
                                           std::pair{"xmark.circle", "xmark.circle.fill"},
                                           std::pair{"exclamationmark.triangle", "exclamationmark.triangle.fill"},
                                           std::pair{"internaldrive", "internaldrive.fill"},
                                           std::pair{"star", "star.fill"}}) {
        SCOPED_TRACE(filled);
        EXPECT_GT(litPixels(QString::fromLatin1(filled), Qt::black), litPixels(QString::fromLatin1(outlined), Qt::black));
    }
}

TEST(SymbolsTest, EverySymbolNameUsedInTheSourcesResolves)
{
    test::widgetApplication();
    const QMap<QString, QString> used = symbolNamesInSources();
    // The scan finds the names of the cells, the toolbar, the sheets and the
    // windows; an empty scan means the sources were not found.
    for (const char* expected : {"doc.text.magnifyingglass", "line.3.horizontal.decrease.circle", "wand.and.stars",
                                 "icloud.and.arrow.down", "internaldrive.fill", "clock.arrow.circlepath", "trash",
                                 "ruler", "memorychip.fill", "lightbulb.fill"})
        EXPECT_TRUE(used.contains(QString::fromLatin1(expected))) << expected;
    for (auto it = used.cbegin(); it != used.cend(); ++it) {
        SCOPED_TRACE((it.key() + QStringLiteral(" at ") + it.value()).toStdString());
        EXPECT_TRUE(isKnownSymbol(it.key()));
        EXPECT_FALSE(symbolIcon(it.key()).isNull());
    }
    for (const auto& preset : discovery::WizardPreset::all()) {
        SCOPED_TRACE(preset.id);
        EXPECT_FALSE(symbolIcon(QString::fromStdString(preset.icon)).isNull());
    }
}

TEST(SymbolsTest, AnUnknownNameGivesNothingInsteadOfAStandIn)
{
    test::widgetApplication();
    EXPECT_FALSE(isKnownSymbol(u"no.such.symbol"));
    EXPECT_TRUE(symbolIcon(u"no.such.symbol").isNull());
    EXPECT_TRUE(symbolIcon(u"no.such.symbol", Qt::black).isNull());
    EXPECT_EQ(litPixels(QStringLiteral("no.such.symbol"), Qt::black), 0);
    EXPECT_TRUE(symbolThemeName(u"no.such.symbol").isEmpty());
}

// Secondary and tertiary text stay visibly lighter than primary text, in a
// light and a dark palette, also once the colour loses its alpha channel.
TEST(TextStylesTest, SecondaryAndTertiaryTextAreLighterThanPrimaryInBothPalettes)
{
    test::widgetApplication();
    QPalette light;
    light.setColor(QPalette::Window, QColor(0xef, 0xef, 0xef));
    light.setColor(QPalette::WindowText, Qt::black);
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2a, 0x2a, 0x2a));
    dark.setColor(QPalette::WindowText, QColor(0xf0, 0xf0, 0xf0));
    for (const QPalette& palette : {light, dark}) {
        const QColor text = palette.color(QPalette::WindowText);
        const QColor background = palette.color(QPalette::Window);
        const auto distance = [&](const QColor& c) { return std::abs(c.lightness() - background.lightness()); };
        const QColor secondary = QColor(secondaryColor(palette).name());  // as a style sheet without alpha sees it
        const QColor tertiary = QColor(tertiaryColor(palette).name());
        EXPECT_LT(distance(secondary), distance(text) - 40);
        EXPECT_LT(distance(tertiary), distance(secondary) - 30);
        EXPECT_GT(distance(tertiary), 40) << "tertiary text must still be readable";
    }
    EXPECT_EQ(cssColor(QColor(10, 20, 30, 128)), QStringLiteral("rgba(10, 20, 30, 0.502)"));
}

TEST(TextStylesTest, FiguresGetDigitsOfOneWidth)
{
    test::widgetApplication();
    QFont base = QApplication::font();
    base.setPointSize(13);
    const QFont figures = monospacedDigitsFont(base);
    EXPECT_TRUE(hasMonospacedDigits(figures));
    EXPECT_EQ(figures.pointSize(), 13);
}

}  // namespace
}  // namespace kelvane::ui
