// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

#include <cstdint>

namespace kelvane::ui {

// How full a volume is, by the shared thresholds of the bar and the usage
// percentage: below 0.7 normal, below 0.9 high, else critical.
enum class CapacityLevel { normal, high, critical };
CapacityLevel capacityLevel(double ratio);

// A horizontal capsule whose filled part shows used / total, coloured by how
// full the volume is. It fills the space it is given; the caller fixes its height.
class CapacityBar : public QWidget {
    Q_OBJECT
public:
    CapacityBar(std::int64_t used, std::int64_t total, QWidget* parent = nullptr);

    // used / total clamped to 0...1; 0 when total is below 1.
    static double fillRatio(std::int64_t used, std::int64_t total);

    double ratio() const { return fillRatio(used_, total_); }
    QColor fillColor() const;

    QSize sizeHint() const override { return {200, 22}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::int64_t used_;
    std::int64_t total_;
};

}  // namespace kelvane::ui
