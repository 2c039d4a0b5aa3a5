// SPDX-License-Identifier: MIT
#include "ui/storage/CapacityBar.h"

#include "ui/storage/StorageStyle.h"

#include <QPainter>

#include <algorithm>

namespace kelvane::ui {

CapacityLevel capacityLevel(double ratio)
{
    if (ratio < 0.7)
        return CapacityLevel::normal;
    if (ratio < 0.9)
        return CapacityLevel::high;
    return CapacityLevel::critical;
}

CapacityBar::CapacityBar(std::int64_t used, std::int64_t total, QWidget* parent)
    : QWidget(parent), used_(used), total_(total)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

double CapacityBar::fillRatio(std::int64_t used, std::int64_t total)
{
    if (total < 1)
        return 0.0;
    const double ratio = static_cast<double>(used) / static_cast<double>(total);
    return std::max(std::min(ratio, 1.0), 0.0);
}

QColor CapacityBar::fillColor() const
{
    switch (capacityLevel(ratio())) {
    case CapacityLevel::normal: return storage_style::accent(this);
    case CapacityLevel::high: return storage_style::orange();
    case CapacityLevel::critical: return storage_style::red();
    }
    return storage_style::accent(this);
}

void CapacityBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QRectF track = rect();
    const qreal radius = track.height() / 2;
    QColor gray(142, 142, 147);
    gray.setAlphaF(0.15f);
    p.setBrush(gray);
    p.drawRoundedRect(track, radius, radius);

    const qreal width = track.width() * ratio();
    if (width <= 0)
        return;
    // A capsule of its own width: narrower than the bar is high, it is a
    // standing pill rather than a cut-off end of a lying one.
    const qreal fillRadius = std::min(width, track.height()) / 2;
    p.setBrush(fillColor());
    p.drawRoundedRect(QRectF(track.left(), track.top(), width, track.height()), fillRadius, fillRadius);
}

}  // namespace kelvane::ui
