// SPDX-License-Identifier: MIT
#include "ui/common/PageParts.h"

#include "ui/common/Symbols.h"
#include "ui/common/TextStyles.h"

#include <QApplication>
#include <QColor>
#include <QDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QIcon>
#include <QLabel>
#include <QPainter>
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

QVBoxLayout* sheetLayout(QDialog* sheet, const QString& title, QSize minimum, QSize size, const QMargins& margins,
                         int spacing)
{
    sheet->setWindowTitle(title);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setMinimumSize(minimum);
    sheet->resize(size);
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(margins);
    layout->setSpacing(spacing);
    return layout;
}

QLabel* textLabel(const QString& text, FontRole role, bool secondary)
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font(role));
    if (secondary) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, secondaryColor());
        label->setPalette(palette);
    }
    return label;
}

FormGroup::FormGroup(QWidget* parent) : QFrame(parent), grid_(new QGridLayout(this))
{
    setObjectName(QStringLiteral("formGroup"));
    grid_->setContentsMargins(12, 6, 12, 6);
    grid_->setHorizontalSpacing(16);
    grid_->setVerticalSpacing(0);
    grid_->setColumnStretch(0, 1);
}

QWidget* FormGroup::addLine()
{
    if (rows_.empty())
        return nullptr;
    auto* line = new QFrame(this);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.1f);
    palette.setColor(QPalette::Window, color);
    line->setPalette(palette);
    grid_->addWidget(line, 2 * rowCount() - 1, 0, 1, 2);
    return line;
}

void FormGroup::addRow(const QString& label, QWidget* value, const QString& name)
{
    QWidget* line = addLine();
    QLabel* title = textLabel(label, FontRole::body);
    title->setMinimumHeight(28);
    value->setObjectName(QStringLiteral("value:") + name);
    grid_->addWidget(title, 2 * rowCount(), 0, Qt::AlignVCenter | Qt::AlignLeft);
    // A text fills its cell, so that a long one wraps there; other values keep their size.
    const bool text = qobject_cast<QLabel*>(value) != nullptr;
    grid_->addWidget(value, 2 * rowCount(), 1, text ? Qt::AlignVCenter : Qt::AlignVCenter | Qt::AlignRight);
    rows_.push_back({line, title, value});
}

QLabel* FormGroup::addTextRow(const QString& label, const QString& text, const QString& name, bool selectable)
{
    QLabel* value = textLabel(text, FontRole::body, true);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (selectable) {
        value->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        value->setCursor(Qt::IBeamCursor);
    }
    addRow(label, value, name);
    return value;
}

void FormGroup::addWideRow(QWidget* content)
{
    QWidget* line = addLine();
    content->setMinimumHeight(28);
    grid_->addWidget(content, 2 * rowCount(), 0, 1, 2);
    rows_.push_back({line, nullptr, content});
}

void FormGroup::setRowVisible(const QWidget* value, bool visible)
{
    bool above = false;  // a shown row above this one
    for (const Row& row : rows_) {
        if (row.value == value) {
            row.value->setVisible(visible);
            if (row.label)
                row.label->setVisible(visible);
        }
        const bool shown = !row.value->isHidden();
        // A line only between two shown rows.
        if (row.line)
            row.line->setVisible(shown && above);
        above = above || shown;
    }
}

void FormGroup::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(palette().color(QPalette::Base));
    p.drawRoundedRect(QRectF(rect()), 8, 8);
}

std::pair<QWidget*, FormGroup*> formSection(const QString& title)
{
    auto [section, layout] = namedBox(QStringLiteral("formSection"), QBoxLayout::TopToBottom, {}, 10);
    QLabel* caption = textLabel(title, FontRole::caption, true);
    caption->setObjectName(QStringLiteral("title"));
    caption->setContentsMargins(12, 6, 0, 0);
    layout->addWidget(caption);
    auto* form = new FormGroup;
    layout->addWidget(form);
    return {section, form};
}

}  // namespace kelvane::ui::page
