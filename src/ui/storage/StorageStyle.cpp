// SPDX-License-Identifier: MIT
#include "ui/storage/StorageStyle.h"

#include "ui/common/Symbols.h"
#include "ui/common/TextStyles.h"

#include <QPainter>
#include <QPalette>

namespace kelvane::ui {
namespace storage_style {

QColor accent(const QWidget* widget)
{
    return widget ? widget->palette().color(QPalette::Highlight) : QColor(0x1e, 0x6f, 0xd9);
}

QColor secondary(const QWidget* widget)
{
    return secondaryColor(widget ? widget->palette() : QPalette());
}

QColor green() { return QColor(0x28, 0xa7, 0x45); }
QColor orange() { return QColor(0xf5, 0x8a, 0x00); }
QColor red() { return QColor(0xe5, 0x39, 0x35); }

QColor tintColor(volumes::CompressionAvailabilityVerdict::Tint tint, const QWidget* widget)
{
    switch (tint) {
    case volumes::CompressionAvailabilityVerdict::Tint::green: return green();
    case volumes::CompressionAvailabilityVerdict::Tint::orange: return orange();
    case volumes::CompressionAvailabilityVerdict::Tint::red: return red();
    case volumes::CompressionAvailabilityVerdict::Tint::secondary: break;
    }
    return secondary(widget);
}

QString typeText(const volumes::StorageVolume& volume)
{
    return volume.kelvanefs ? QStringLiteral("KELVANEFS") : QString::fromStdString(volume.fileSystemType).toUpper();
}

QString kelvanefsStateText(platform::KelvanefsMountHealth health)
{
    switch (health) {
    case platform::KelvanefsMountHealth::live: return QStringLiteral("稼働中");
    case platform::KelvanefsMountHealth::dead: return QStringLiteral("応答なし（マウントだけが残っています）");
    case platform::KelvanefsMountHealth::socketMissing: return QStringLiteral("ソケットがありません");
    }
    return QString();
}

QFont font(TextStyle style, const QFont& base)
{
    QFont f = base;
    const qreal size = base.pointSizeF() > 0 ? base.pointSizeF() : 10.0;
    auto set = [&](qreal scale, QFont::Weight weight) {
        f.setPointSizeF(size * scale);
        f.setWeight(weight);
    };
    switch (style) {
    case TextStyle::title2: set(1.55, QFont::Bold); break;
    case TextStyle::title3: set(1.35, QFont::DemiBold); break;
    case TextStyle::headline: set(1.05, QFont::Bold); break;
    case TextStyle::subheadline: set(1.0, QFont::Normal); break;
    case TextStyle::body: set(1.0, QFont::Normal); break;
    case TextStyle::callout: set(0.95, QFont::Normal); break;
    case TextStyle::caption: set(0.85, QFont::Normal); break;
    case TextStyle::caption2: set(0.78, QFont::Normal); break;
    }
    return f;
}

}  // namespace storage_style

SymbolView::SymbolView(const QString& symbol, const QColor& color, int size, QWidget* parent)
    : QWidget(parent), symbol_(symbol), color_(color), size_(size)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize SymbolView::sizeHint() const
{
    return {size_, size_};
}

void SymbolView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPixmap pixmap = symbolPixmap(symbol_, color_, size_, devicePixelRatioF());
    p.drawPixmap(QPointF((width() - size_) / 2.0, (height() - size_) / 2.0), pixmap);
}

}  // namespace kelvane::ui
