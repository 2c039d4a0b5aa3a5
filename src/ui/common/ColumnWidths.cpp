// SPDX-License-Identifier: MIT
#include "ui/common/ColumnWidths.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QHeaderView>

#include <algorithm>

namespace kelvane::ui {

namespace {

int clampTo(const ColumnWidth& b, int width)
{
    width = std::max(width, b.minimum);
    return b.maximum > 0 ? std::min(width, b.maximum) : width;
}

}  // namespace

std::vector<int> ColumnWidths::fit(const std::vector<ColumnWidth>& bounds, const std::vector<int>& wanted,
                                   const std::vector<bool>& hidden, int available)
{
    const std::size_t n = bounds.size();
    std::vector<int> widths(n, 0);
    int total = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (hidden[i])
            continue;
        widths[i] = clampTo(bounds[i], wanted[i]);
        total += widths[i];
    }
    if (total > available) {
        // Every column gives up the same share of what it could give.
        int slack = 0;
        for (std::size_t i = 0; i < n; ++i)
            if (!hidden[i])
                slack += widths[i] - bounds[i].minimum;
        const int deficit = std::min(total - available, slack);
        if (slack > 0) {
            int given = 0;
            for (std::size_t i = 0; i < n; ++i) {
                if (hidden[i])
                    continue;
                const int share = int(qint64(deficit) * (widths[i] - bounds[i].minimum) / slack);
                widths[i] -= share;
                given += share;
            }
            // Rounding leftovers come off the columns that can still give.
            for (std::size_t i = 0; given < deficit; i = (i + 1) % n)
                if (!hidden[i] && widths[i] > bounds[i].minimum) {
                    --widths[i];
                    ++given;
                }
        }
        return widths;
    }
    int extra = available - total;
    std::vector<std::size_t> open;
    for (std::size_t i = 0; i < n; ++i)
        if (!hidden[i] && bounds[i].maximum == 0)
            open.push_back(i);
    if (!open.empty()) {
        for (std::size_t k = 0; k < open.size(); ++k) {
            const int share = extra / int(open.size() - k);
            widths[open[k]] += share;
            extra -= share;
        }
    }
    return widths;
}

ColumnWidths* ColumnWidths::apply(QHeaderView* header, std::vector<ColumnWidth> bounds, bool keepCurrent)
{
    return new ColumnWidths(header, std::move(bounds), keepCurrent);
}

ColumnWidths::ColumnWidths(QHeaderView* header, std::vector<ColumnWidth> bounds, bool keepCurrent)
    : QObject(header), header_(header), bounds_(std::move(bounds))
{
    setObjectName(QStringLiteral("columnWidths"));
    header_->setStretchLastSection(false);
    header_->setSectionResizeMode(QHeaderView::Interactive);
    int smallest = bounds_.empty() ? 20 : bounds_.front().minimum;
    for (std::size_t i = 0; i < bounds_.size(); ++i) {
        const ColumnWidth& b = bounds_[i];
        const bool restored = keepCurrent && int(i) < header_->count() && header_->sectionSize(int(i)) > 0;
        wanted_.push_back(restored ? clampTo(b, header_->sectionSize(int(i))) : b.ideal);
        smallest = std::min(smallest, b.minimum);
    }
    header_->setMinimumSectionSize(std::min(header_->minimumSectionSize(), smallest));
    if (auto* view = qobject_cast<QAbstractScrollArea*>(header_->parentWidget()))
        view->viewport()->installEventFilter(this);
    connect(header_, &QHeaderView::sectionResized, this, &ColumnWidths::userResized);
    connect(header_, &QHeaderView::sectionCountChanged, this, &ColumnWidths::refit);
    refit();
}

void ColumnWidths::refit()
{
    auto* view = qobject_cast<QAbstractScrollArea*>(header_->parentWidget());
    const int available = view ? view->viewport()->width() : header_->width();
    std::vector<bool> hidden(bounds_.size());
    for (std::size_t i = 0; i < bounds_.size(); ++i)
        hidden[i] = int(i) >= header_->count() || header_->isSectionHidden(int(i));
    const std::vector<int> widths = fit(bounds_, wanted_, hidden, available);
    fitting_ = true;
    for (std::size_t i = 0; i < bounds_.size(); ++i)
        if (!hidden[i] && header_->sectionSize(int(i)) != widths[i])
            header_->resizeSection(int(i), widths[i]);
    fitting_ = false;
}

QByteArray ColumnWidths::saveState()
{
    fitting_ = true;
    for (std::size_t i = 0; i < bounds_.size(); ++i)
        if (int(i) < header_->count() && !header_->isSectionHidden(int(i)))
            header_->resizeSection(int(i), wanted_[i]);
    fitting_ = false;
    const QByteArray state = header_->saveState();
    refit();
    return state;
}

void ColumnWidths::userResized(int logical, int, int newSize)
{
    if (fitting_ || logical < 0 || std::size_t(logical) >= bounds_.size() || header_->isSectionHidden(logical))
        return;
    const int bounded = clampTo(bounds_[std::size_t(logical)], newSize);
    wanted_[std::size_t(logical)] = bounded;
    if (bounded != newSize) {
        fitting_ = true;
        header_->resizeSection(logical, bounded);
        fitting_ = false;
    }
    emit resizedByUser();
}

bool ColumnWidths::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize)
        refit();
    return QObject::eventFilter(watched, event);
}

}  // namespace kelvane::ui
