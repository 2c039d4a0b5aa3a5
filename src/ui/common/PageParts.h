// SPDX-License-Identifier: MIT
#pragma once

#include <QBoxLayout>
#include <QFont>
#include <QFrame>
#include <QMargins>
#include <QSize>
#include <QString>

#include <utility>
#include <vector>

class QColor;
class QDialog;
class QGridLayout;
class QIcon;
class QLabel;
class QScrollArea;
class QVBoxLayout;
class QWidget;

namespace kelvane::ui::page {

// The pieces the pages of the About and storage windows are made of. Headers, sub-headers,
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

// A window-modal sheet's title and sizes, and the column its content goes in.
QVBoxLayout* sheetLayout(QDialog* sheet, const QString& title, QSize minimum, QSize size, const QMargins& margins,
                         int spacing);

// Text sizes relative to the application font, and the two colours.
enum class FontRole { largeTitle, title, title2, title3, headline, body, subheadline, callout, caption };
QFont font(FontRole role);
QColor secondaryColor();
QColor tertiaryColor();
QColor tintColor();
QString colorCss(const QColor& color);

// Rows of a label and a value in a rounded inset group, a thin line between
// rows (the grouped form of the About statistics and the storage window).
// Each value carries the object name "value:<name>", a name that stays when
// the label's wording changes.
class FormGroup : public QFrame {
public:
    explicit FormGroup(QWidget* parent = nullptr);

    void addRow(const QString& label, QWidget* value, const QString& name);
    // A value shown as secondary text on the trailing side.
    QLabel* addTextRow(const QString& label, const QString& text, const QString& name, bool selectable = false);
    // A row without a label, across the group.
    void addWideRow(QWidget* content);
    // Hides or shows the row of `value`; lines stay only between shown rows.
    void setRowVisible(const QWidget* value, bool visible);
    int rowCount() const { return static_cast<int>(rows_.size()); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Row {
        QWidget* line;  // none above the first row
        QWidget* label;  // none in a wide row
        QWidget* value;
    };
    QWidget* addLine();

    QGridLayout* grid_;
    std::vector<Row> rows_;
};

// A caption over a grouped form; returns the section and its form.
std::pair<QWidget*, FormGroup*> formSection(const QString& title);

// A label in one of the text sizes, plain text, optionally in the secondary colour.
QLabel* textLabel(const QString& text, FontRole role, bool secondary = false);

}  // namespace kelvane::ui::page
