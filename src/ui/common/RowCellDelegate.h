// SPDX-License-Identifier: MIT
#pragma once

#include <QPointer>
#include <QStyledItemDelegate>
#include <QTimer>

#include <vector>

namespace kelvane::ui {

// One timer turns every spinner of the process; it runs only while some view
// has painted a spinner since its last tick.
class SpinnerClock final : public QObject {
    Q_OBJECT
public:
    static SpinnerClock& shared();
    // The current angle of every spinner, in degrees.
    int angle() const { return angle_; }
    // Repaints `viewport` at the next tick.
    void keepTurning(QWidget* viewport);
    bool isRunning() const { return timer_.isActive(); }

private:
    SpinnerClock();
    void tick();

    QTimer timer_;
    int angle_ = 0;
    std::vector<QPointer<QWidget>> viewports_;
};

// A delegate that draws a row's contents itself over the style's row: the
// background, selection and focus as the style paints them, without the text
// and icon.
class RowBackgroundDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void paintRowBackground(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;
};

// Paints the main table's cells from the model's cell contents: the name with
// its icon, texts in their tone and elision, and the spinners.
class RowCellDelegate final : public RowBackgroundDelegate {
    Q_OBJECT
public:
    using RowBackgroundDelegate::RowBackgroundDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // Tooltips show names and paths as plain text.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    static void paintSpinner(QPainter* painter, const QRect& rect, const QColor& color, int angle);
};

}  // namespace kelvane::ui
