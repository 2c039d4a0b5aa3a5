// SPDX-License-Identifier: MIT
#include "ui/sheets/SheetWidgets.h"

#include "ui/common/ElidedLabel.h"
#include "ui/common/TextStyles.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>

#include <algorithm>

namespace kelvane::ui::sheets {

ElidedLabel* stretchingElidedLabel(Qt::TextElideMode mode, QWidget* parent)
{
    auto* label = new ElidedLabel(mode, parent);
    label->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    return label;
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
    const QColor dimmed = secondaryColor(palette);
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
