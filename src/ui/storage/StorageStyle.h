// SPDX-License-Identifier: MIT
#pragma once

#include "volumes/CompressionAvailabilityVerdict.h"

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>
#include <QWidget>

namespace kelvane::ui {

// Colours and text styles of the storage window. Its symbols are drawn in
// their tint, never taken from an icon theme.
namespace storage_style {

QColor accent(const QWidget* widget);
QColor secondary(const QWidget* widget);
QColor green();
QColor orange();
QColor red();
QColor tintColor(volumes::CompressionAvailabilityVerdict::Tint tint, const QWidget* widget);

// The type a volume is shown as: "KELVANEFS" for a kelvanefs mount, else
// its file system's ("EXT4").
QString typeText(const volumes::StorageVolume& volume);
// A kelvanefs mount's state in words ("稼働中", ...).
QString kelvanefsStateText(platform::KelvanefsMountHealth health);

enum class TextStyle { title2, title3, headline, subheadline, body, callout, caption, caption2 };
QFont font(TextStyle style, const QFont& base);

}  // namespace storage_style

// A symbol shown at a fixed size in one colour; keeps its name and colour so
// that what is on screen can be read back.
class SymbolView : public QWidget {
    Q_OBJECT
public:
    SymbolView(const QString& symbol, const QColor& color, int size, QWidget* parent = nullptr);

    const QString& symbol() const { return symbol_; }
    const QColor& color() const { return color_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbol_;
    QColor color_;
    int size_;
};

}  // namespace kelvane::ui
