// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>

class QWidget;

namespace kelvane::ui {

// The text hierarchy of every window. Secondary and tertiary text are the
// palette's text colour blended towards the background, so they stay lighter
// than primary text in a light and a dark palette alike and keep their look
// where a colour loses its alpha (style sheets, pixmaps).
QColor secondaryColor(const QPalette& palette);
QColor tertiaryColor(const QPalette& palette);
// Draws `widget`'s text (a label, a note, a figure) in the secondary colour
// of the palette it sits in, and keeps doing so when the desktop's palette
// changes; `secondary` false gives it the palette's own text colour back.
// Every secondary text of the windows is set this way.
void setSecondaryText(QWidget* widget, bool secondary = true);
// A colour in style-sheet form, alpha included ("rgba(r, g, b, a)").
QString cssColor(const QColor& color);

// `base` for figures that change while they are watched: its digits all
// have the same advance, so a changing number never shifts the text after it.
QFont monospacedDigitsFont(const QFont& base);
bool hasMonospacedDigits(const QFont& font);

}  // namespace kelvane::ui
