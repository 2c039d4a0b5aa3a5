// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class QToolButton;

namespace kelvane::operations {
class MainWindowModel;
}

namespace kelvane::ui {

// The four filter menus of the toolbar (kind, state, size, minimum stars)
// and "フィルタ解除" while any filter or the search is active. The filters
// are the window model's, kept in the settings.
class FilterBar final : public QWidget {
    Q_OBJECT
public:
    explicit FilterBar(operations::MainWindowModel& model, QWidget* parent = nullptr);

    QToolButton* statusButton() const { return status_; }
    QToolButton* starsButton() const { return stars_; }
    QToolButton* clearButton() const { return clear_; }

    static QString minStarsLabel(int minStars);
    // Runs the clearing of every filter and the search text.
    void clearAllFilters();

private:
    void refresh();

    operations::MainWindowModel& model_;
    QToolButton* kind_;
    QToolButton* status_;
    QToolButton* size_;
    QToolButton* stars_;
    QToolButton* clear_;
};

}  // namespace kelvane::ui
