// SPDX-License-Identifier: MIT
#pragma once

#include <QBoxLayout>
#include <QFont>
#include <QMargins>
#include <QString>

#include <utility>

class QColor;
class QIcon;
class QLabel;
class QScrollArea;
class QVBoxLayout;
class QWidget;

namespace kelvane::ui::page {

// The pieces every page of the About window is made of. Headers, sub-headers,
// paragraphs and dividers carry an object name ("sectionHeader",
// "subsectionHeader", "paragraph", "divider") so a page can be read back in
// order; a header's title label is named "title".

// Runs between double asterisks become bold, runs between backquotes code;
// line breaks are kept; everything else is shown as the characters it is.
QString inlineMarkdownToHtml(const QString& text);

enum class TextStyle { body, secondary, calloutSecondary };

// A widget with an object name, laid out in a row or a column.
std::pair<QWidget*, QBoxLayout*> namedBox(const QString& name, QBoxLayout::Direction direction,
                                          const QMargins& margins, int spacing);

QWidget* sectionHeader(const QString& title, const QString& symbol = {});
QWidget* subsectionHeader(const QString& title, const QString& symbol = {});
QLabel* paragraph(const QString& markdown, TextStyle style = TextStyle::body);
QWidget* divider();
// A caption on a grey capsule ("自動", a licence name).
QLabel* badge(const QString& text);

// A page laid out from the top-left corner (spacing 18, margin 24 unless
// given), and the vertical scroll area a text tab sits in.
QVBoxLayout* pageLayout(QWidget* page, int spacing = 18);
QScrollArea* scrollPage(QWidget* page);

// Text sizes relative to the application font, and the two colours.
enum class FontRole { largeTitle, title, title2, title3, headline, body, subheadline, callout, caption };
QFont font(FontRole role);
QColor secondaryColor();
QColor tertiaryColor();
QColor tintColor();
QString colorCss(const QColor& color);

}  // namespace kelvane::ui::page
