#include "ui/sheets/SheetWidgets.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>

#include <algorithm>

namespace kelvane::ui::sheets {

ElidedLabel::ElidedLabel(Qt::TextElideMode mode, QWidget* parent) : QFrame(parent), mode_(mode)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void ElidedLabel::setText(const QString& text)
{
    if (text == text_)
        return;
    text_ = text;
    updateGeometry();
    update();
}

QSize ElidedLabel::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text_) + 2, metrics.height()};
}

QSize ElidedLabel::minimumSizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(QStringLiteral("…")) * 3, metrics.height()};
}

void ElidedLabel::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const QRect area = contentsRect();
    const QString shown = fontMetrics().elidedText(text_, mode_, area.width());
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

QLabel* plainLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return label;
}

QLabel* selectableLabel(const QString& text, QWidget* parent)
{
    QLabel* label = plainLabel(text, parent);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return label;
}

void setSecondaryStyle(QWidget* widget)
{
    QPalette palette = widget->palette();
    const QColor dimmed = palette.color(QPalette::Disabled, QPalette::WindowText);
    palette.setColor(QPalette::WindowText, dimmed);
    palette.setColor(QPalette::Text, dimmed);
    widget->setPalette(palette);
}

void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

void setRelativeFontSize(QWidget* widget, int delta, bool bold)
{
    // From the application's font, so that setting it again does not add up.
    QFont font = widget->font();
    const QFont base = QApplication::font();
    if (base.pointSizeF() > 0)
        font.setPointSizeF(std::max(6.0, base.pointSizeF() + delta));
    font.setBold(bold);
    widget->setFont(font);
}

QFrame* horizontalDivider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

}  // namespace kelvane::ui::sheets
