// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QObject>

#include <vector>

class QHeaderView;

namespace kelvane::ui {

// A column's width bounds in pixels; a maximum of 0 leaves it unbounded.
struct ColumnWidth {
    int minimum;
    int ideal;
    int maximum = 0;
};

// Keeps a table's columns within their bounds and inside the view: they
// start at their ideal widths; when the view is narrower than that, they give
// way towards their minimums in proportion to the room they have; room left
// over goes to the unbounded columns, so a bounded last column never
// stretches. A width the user drags is kept within the bounds and becomes
// the column's own width from then on.
class ColumnWidths : public QObject {
    Q_OBJECT
public:
    // Owned by `header`; takes over its widths from now on. The columns want
    // their ideal widths, or with `keepCurrent` the widths the header has
    // now (a restored arrangement), held within the bounds.
    static ColumnWidths* apply(QHeaderView* header, std::vector<ColumnWidth> bounds, bool keepCurrent = false);

    // The widths for `available` pixels, given what each column wants and
    // which columns are hidden (a hidden column gets 0).
    static std::vector<int> fit(const std::vector<ColumnWidth>& bounds, const std::vector<int>& wanted,
                                const std::vector<bool>& hidden, int available);

    void refit();
    // The header's state to keep (order, hidden columns) with the widths the
    // columns want rather than those fitted to the view's width now.
    QByteArray saveState();

signals:
    // A column's width was dragged (not fitted to the view).
    void resizedByUser();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ColumnWidths(QHeaderView* header, std::vector<ColumnWidth> bounds, bool keepCurrent);
    void userResized(int logical, int oldSize, int newSize);

    QHeaderView* header_;
    std::vector<ColumnWidth> bounds_;
    std::vector<int> wanted_;
    bool fitting_ = false;
};

}  // namespace kelvane::ui
