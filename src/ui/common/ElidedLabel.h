// SPDX-License-Identifier: MIT
#pragma once

#include <QFrame>

namespace kelvane::ui {

// `text` as a tooltip shows it, character for character: a tooltip would
// otherwise take a name such as "<b>x<" for markup.
QString plainToolTip(const QString& text);

// One line of plain text, shortened with "…" where it does not fit (at the
// end, the start or the middle); the full text is the tooltip when shortened.
class ElidedLabel final : public QFrame {
    Q_OBJECT
public:
    explicit ElidedLabel(Qt::TextElideMode mode, QWidget* parent = nullptr);

    void setText(const QString& text);
    const QString& text() const { return text_; }
    // What is drawn at the current width.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    Qt::TextElideMode mode_;
};

}  // namespace kelvane::ui
