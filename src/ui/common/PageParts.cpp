// SPDX-License-Identifier: MIT
#include "ui/common/PageParts.h"

#include "ui/common/Symbols.h"
#include "ui/common/TextStyles.h"

#include <QApplication>
#include <QColor>
#include <QFrame>
#include <QHBoxLayout>
#include <QHash>
#include <QIcon>
#include <QLabel>
#include <QPalette>
#include <QScrollArea>
#include <QVBoxLayout>

namespace kelvane::ui::page {

QString inlineMarkdownToHtml(const QString& text)
{
    QString html;
    bool bold = false;
    bool code = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!code && c == u'*' && i + 1 < text.size() && text[i + 1] == u'*') {
            html += bold ? QStringLiteral("</b>") : QStringLiteral("<b>");
            bold = !bold;
            ++i;
        } else if (c == u'`') {
            html += code ? QStringLiteral("</code>") : QStringLiteral("<code>");
            code = !code;
        } else if (c == u'\n') {
            html += QStringLiteral("<br>");
        } else if (c == u'<') {
            html += QStringLiteral("&lt;");
        } else if (c == u'>') {
            html += QStringLiteral("&gt;");
        } else if (c == u'&') {
            html += QStringLiteral("&amp;");
        } else {
            html += c;
        }
    }
    if (code)
        html += QStringLiteral("</code>");
    if (bold)
        html += QStringLiteral("</b>");
    return html;
}

QFont font(FontRole role)
{
    QFont f = QApplication::font();
    const double base = f.pointSizeF() > 0 ? f.pointSizeF() : 10.0;
    auto sized = [&](double factor, QFont::Weight weight) {
        f.setPointSizeF(base * factor);
        f.setWeight(weight);
        return f;
    };
    switch (role) {
    case FontRole::largeTitle: return sized(2.0, QFont::Bold);
    case FontRole::title: return sized(1.6, QFont::Bold);
    case FontRole::title2: return sized(1.4, QFont::Bold);
    case FontRole::title3: return sized(1.2, QFont::DemiBold);
    case FontRole::headline: return sized(1.05, QFont::DemiBold);
    case FontRole::body: return sized(1.0, QFont::Normal);
    case FontRole::subheadline: return sized(0.95, QFont::Normal);
    case FontRole::callout: return sized(0.95, QFont::Normal);
    case FontRole::caption: return sized(0.85, QFont::Normal);
    }
    return f;
}

QColor secondaryColor()
{
    return ui::secondaryColor(QApplication::palette());
}

QColor tertiaryColor()
{
    return ui::tertiaryColor(QApplication::palette());
}

QColor tintColor()
{
    return QApplication::palette().color(QPalette::Highlight);
}

QString colorCss(const QColor& color)
{
    return QStringLiteral("color: %1;").arg(cssColor(color));
}

namespace {

// Headings show their symbol in the tint colour.
QLabel* headingSymbol(const QString& symbol, int size)
{
    if (!isKnownSymbol(symbol))
        return nullptr;
    QLabel* label = ui::symbolLabel(symbol, tintColor(), size);
    label->setObjectName(QStringLiteral("symbol"));
    return label;
}

QLabel* titleLabel(const QString& title, FontRole role)
{
    auto* label = new QLabel(title);
    label->setObjectName(QStringLiteral("title"));
    label->setTextFormat(Qt::PlainText);
    label->setFont(font(role));
    label->setWordWrap(true);
    return label;
}

}  // namespace

std::pair<QWidget*, QBoxLayout*> namedBox(const QString& name, QBoxLayout::Direction direction,
                                          const QMargins& margins, int spacing)
{
    auto* widget = new QWidget;
    widget->setObjectName(name);
    auto* layout = new QBoxLayout(direction, widget);
    layout->setContentsMargins(margins);
    layout->setSpacing(spacing);
    return {widget, layout};
}

QWidget* sectionHeader(const QString& title, const QString& symbol)
{
    auto [row, layout] = namedBox(QStringLiteral("sectionHeader"), QBoxLayout::LeftToRight, {0, 8, 0, 0}, 10);
    auto* bar = new QFrame;
    bar->setFixedSize(4, 24);
    bar->setStyleSheet(QStringLiteral("background: %1; border-radius: 2px;").arg(tintColor().name()));
    layout->addWidget(bar, 0, Qt::AlignVCenter);
    if (QLabel* image = symbol.isEmpty() ? nullptr : headingSymbol(symbol, 20))
        layout->addWidget(image, 0, Qt::AlignVCenter);
    layout->addWidget(titleLabel(title, FontRole::title2), 1, Qt::AlignVCenter);
    return row;
}

QWidget* subsectionHeader(const QString& title, const QString& symbol)
{
    auto [row, layout] = namedBox(QStringLiteral("subsectionHeader"), QBoxLayout::LeftToRight, {0, 4, 0, 0}, 8);
    if (QLabel* image = symbol.isEmpty() ? nullptr : headingSymbol(symbol, 16))
        layout->addWidget(image, 0, Qt::AlignVCenter);
    layout->addWidget(titleLabel(title, FontRole::headline), 1, Qt::AlignVCenter);
    return row;
}

QLabel* paragraph(const QString& markdown, TextStyle style)
{
    auto* label = new QLabel(inlineMarkdownToHtml(markdown));
    label->setObjectName(QStringLiteral("paragraph"));
    label->setTextFormat(Qt::RichText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setProperty("markdown", markdown);
    label->setProperty("secondary", style != TextStyle::body);
    label->setProperty("callout", style == TextStyle::calloutSecondary);
    label->setFont(font(style == TextStyle::calloutSecondary ? FontRole::callout : FontRole::body));
    if (style != TextStyle::body)
        label->setStyleSheet(colorCss(secondaryColor()));
    return label;
}

QWidget* divider()
{
    auto* line = new QFrame;
    line->setObjectName(QStringLiteral("divider"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QLabel* badge(const QString& text)
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font(FontRole::caption));
    label->setStyleSheet(QStringLiteral("color: %1; background: rgba(128,128,128,0.18); border-radius: 8px; "
                                        "padding: 2px 6px;")
                             .arg(cssColor(secondaryColor())));
    return label;
}

QVBoxLayout* pageLayout(QWidget* page, int spacing)
{
    auto* layout = new QVBoxLayout(page);
    layout->setSpacing(spacing);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setAlignment(Qt::AlignTop);
    return layout;
}

QScrollArea* scrollPage(QWidget* page)
{
    auto* area = new QScrollArea;
    // The page follows the viewport's width and wraps its text.
    page->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    area->setWidget(page);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area->setFrameShape(QFrame::NoFrame);
    return area;
}

}  // namespace kelvane::ui::page
