// SPDX-License-Identifier: MIT
#include "ui/common/TextStyles.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>

namespace kelvane::ui {

namespace {

QColor blend(const QColor& text, const QColor& background, qreal textShare)
{
    const auto mix = [&](float a, float b) { return float(a * textShare + b * (1 - textShare)); };
    return QColor::fromRgbF(mix(text.redF(), background.redF()), mix(text.greenF(), background.greenF()),
                            mix(text.blueF(), background.blueF()));
}

}  // namespace

QColor secondaryColor(const QPalette& palette)
{
    return blend(palette.color(QPalette::WindowText), palette.color(QPalette::Window), 0.6);
}

QColor tertiaryColor(const QPalette& palette)
{
    return blend(palette.color(QPalette::WindowText), palette.color(QPalette::Window), 0.38);
}

QString cssColor(const QColor& color)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(QString::number(color.alphaF(), 'f', 3));
}

bool hasMonospacedDigits(const QFont& font)
{
    const QFontMetricsF metrics(font);
    const qreal zero = metrics.horizontalAdvance(QLatin1Char('0'));
    for (char digit = '1'; digit <= '9'; ++digit)
        if (!qFuzzyCompare(metrics.horizontalAdvance(QLatin1Char(digit)), zero))
            return false;
    return true;
}

QFont monospacedDigitsFont(const QFont& base)
{
    // Most desktop faces already draw tabular digits; the others give way to
    // the desktop's fixed-width face at the same size.
    if (hasMonospacedDigits(base))
        return base;
    QFont font = base;
    QStringList families{QFontDatabase::systemFont(QFontDatabase::FixedFont).family()};
    families << base.families();
    font.setFamilies(families);
    return font;
}

}  // namespace kelvane::ui
