// SPDX-License-Identifier: MIT
#include "ui/common/ElidedLabel.h"

#include <QPainter>
#include <QTextDocument>

namespace kelvane::ui {

QString plainToolTip(const QString& text)
{
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpacePre) : text;
}

ElidedLabel::ElidedLabel(Qt::TextElideMode mode, QWidget* parent) : QFrame(parent), mode_(mode)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void ElidedLabel::setText(const QString& text)
{
    if (text == text_)
        return;
    text_ = text;
    updateGeometry();
    update();
}

QString ElidedLabel::shownText() const
{
    return fontMetrics().elidedText(text_, mode_, contentsRect().width());
}

QSize ElidedLabel::sizeHint() const
{
    return {fontMetrics().horizontalAdvance(text_) + 2, fontMetrics().height()};
}

QSize ElidedLabel::minimumSizeHint() const { return {fontMetrics().averageCharWidth() * 4, fontMetrics().height()}; }

void ElidedLabel::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const QString shown = shownText();
    setToolTip(shown == text_ ? QString() : plainToolTip(text_));
    painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

}  // namespace kelvane::ui
