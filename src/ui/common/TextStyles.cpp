// SPDX-License-Identifier: MIT
#include "ui/common/TextStyles.h"

#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QWidget>

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
    // 0.65: at 0.6 grey text on a light desktop's off-white window came out
    // at a contrast of 4.4, under the 4.5 body text wants.
    return blend(palette.color(QPalette::WindowText), palette.color(QPalette::Window), 0.65);
}

QColor tertiaryColor(const QPalette& palette)
{
    return blend(palette.color(QPalette::WindowText), palette.color(QPalette::Window), 0.38);
}

namespace {

// Keeps a widget's text in the secondary colour of the palette around it.
// The widget's own palette cannot be the source: its text colour is the one
// set here, so only the parent's (or the application's) tells a change.
class SecondaryText final : public QObject {
public:
    explicit SecondaryText(QWidget* widget) : QObject(widget), widget_(widget)
    {
        setObjectName(QStringLiteral("secondaryText"));
        widget->installEventFilter(this);
        apply();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == widget_ &&
            (event->type() == QEvent::ParentChange || event->type() == QEvent::ApplicationPaletteChange ||
             (event->type() == QEvent::PaletteChange && !applying_)))
            apply();
        return false;
    }

private:
    void apply()
    {
        const QPalette around =
            widget_->parentWidget() ? widget_->parentWidget()->palette() : QApplication::palette(widget_);
        QPalette own = widget_->palette();
        const QColor color = secondaryColor(around);
        if (own.color(QPalette::WindowText) == color && own.color(QPalette::Text) == color)
            return;
        own.setColor(QPalette::WindowText, color);
        own.setColor(QPalette::Text, color);
        applying_ = true;
        widget_->setPalette(own);
        applying_ = false;
    }

    QWidget* widget_;
    bool applying_ = false;
};

}  // namespace

void setSecondaryText(QWidget* widget, bool secondary)
{
    auto* kept = widget->findChild<SecondaryText*>(QString(), Qt::FindDirectChildrenOnly);
    if (secondary && !kept)
        new SecondaryText(widget);
    if (!secondary && kept) {
        delete kept;
        widget->setPalette(QPalette());
    }
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
