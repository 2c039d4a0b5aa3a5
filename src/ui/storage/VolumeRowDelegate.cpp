// SPDX-License-Identifier: MIT
#include "ui/storage/VolumeRowDelegate.h"

#include "ui/common/VisibleName.h"
#include "ui/common/Symbols.h"
#include "ui/storage/StorageStyle.h"
#include "ui/storage/VolumeListModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace kelvane::ui {

namespace {

using storage_style::TextStyle;

constexpr int kPadding = 6;
constexpr int kIconSize = 22;
constexpr int kSpacing = 8;

}  // namespace

VolumeRowDelegate::VolumeRowDelegate(const VolumeListModel* model, QObject* parent)
    : RowBackgroundDelegate(parent), model_(model)
{
}

std::vector<VolumeRowDelegate::Badge> VolumeRowDelegate::badges(bool isEncrypted, bool supportsCompression)
{
    std::vector<Badge> list;
    if (isEncrypted)
        list.push_back({QStringLiteral("lock.fill"), QStringLiteral("暗号化ボリューム (LUKS 等)")});
    if (!supportsCompression)
        list.push_back({QStringLiteral("exclamationmark.triangle.fill"),
                        QStringLiteral("透過圧縮 (decmpfs) 非対応のボリューム。Kelvane では圧縮できません。")});
    return list;
}

VolumeRowDelegate::Layout VolumeRowDelegate::layout(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    Layout result;
    const volumes::StorageVolume* volume = model_->volumeAt(index);
    const QRect area = option.rect.adjusted(kPadding, kPadding / 2, -kPadding, -kPadding / 2);
    const QFontMetrics nameMetrics(storage_style::font(TextStyle::subheadline, option.font));
    const QFontMetrics typeMetrics(storage_style::font(TextStyle::caption, option.font));
    result.icon = QRect(area.left(), area.center().y() - kIconSize / 2, kIconSize, kIconSize);
    const int textLeft = result.icon.right() + 1 + kSpacing;
    const int textHeight = nameMetrics.height() + 1 + typeMetrics.height();
    const int top = area.center().y() - textHeight / 2;
    result.name = QRect(textLeft, top, area.right() - textLeft, nameMetrics.height());
    const QString type = volume ? storage_style::typeText(*volume) : QString();
    result.type = QRect(textLeft, result.name.bottom() + 2, typeMetrics.horizontalAdvance(type), typeMetrics.height());
    if (volume) {
        const int badgeSize = QFontMetrics(storage_style::font(TextStyle::caption2, option.font)).height();
        int x = result.type.right() + 1 + 4;
        for (std::size_t i = 0; i < badges(volume->isEncrypted, volume->capabilities.supportsCompression).size(); ++i) {
            result.badges.emplace_back(x, result.type.center().y() - badgeSize / 2, badgeSize, badgeSize);
            x += badgeSize + 4;
        }
    }
    return result;
}

void VolumeRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const volumes::StorageVolume* volume = model_->volumeAt(index);
    paintRowBackground(painter, option, index);
    if (!volume)
        return;

    const Layout rows = layout(option, index);
    const bool selected = option.state & QStyle::State_Selected;
    const QColor text = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    QColor secondary = text;
    secondary.setAlphaF(0.6f);
    const QColor tint = selected ? text : storage_style::accent(option.widget);

    painter->save();
    painter->drawPixmap(rows.icon.topLeft(),
                        symbolPixmap(volume->isLocal ? QStringLiteral("internaldrive.fill")
                                                                    : QStringLiteral("externaldrive.fill"),
                                                    tint, kIconSize, painter->device()->devicePixelRatioF()));
    const QFont nameFont = storage_style::font(TextStyle::subheadline, option.font);
    painter->setFont(nameFont);
    painter->setPen(text);
    painter->drawText(rows.name, Qt::AlignLeft | Qt::AlignVCenter,
                      QFontMetrics(nameFont).elidedText(visibleName(volume->name), Qt::ElideRight,
                                                        rows.name.width()));
    painter->setFont(storage_style::font(TextStyle::caption, option.font));
    painter->setPen(secondary);
    painter->drawText(rows.type, Qt::AlignLeft | Qt::AlignVCenter, storage_style::typeText(*volume));
    const auto list = badges(volume->isEncrypted, volume->capabilities.supportsCompression);
    for (std::size_t i = 0; i < list.size(); ++i) {
        const QColor color = list[i].symbol == QLatin1String("lock.fill") ? secondary : storage_style::orange();
        painter->drawPixmap(rows.badges[i].topLeft(),
                            symbolPixmap(list[i].symbol, color, rows.badges[i].width(),
                                                        painter->device()->devicePixelRatioF()));
    }
    painter->restore();
}

QSize VolumeRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    const int nameHeight = QFontMetrics(storage_style::font(TextStyle::subheadline, option.font)).height();
    const int typeHeight = QFontMetrics(storage_style::font(TextStyle::caption, option.font)).height();
    return {160, std::max(kIconSize, nameHeight + 1 + typeHeight) + kPadding * 2};
}

bool VolumeRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                  const QModelIndex& index)
{
    const volumes::StorageVolume* volume = model_->volumeAt(index);
    if (event->type() == QEvent::ToolTip && volume) {
        const Layout rows = layout(option, index);
        const auto list = badges(volume->isEncrypted, volume->capabilities.supportsCompression);
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (rows.badges[i].adjusted(-2, -2, 2, 2).contains(event->pos())) {
                QToolTip::showText(event->globalPos(), list[i].help, view, rows.badges[i]);
                return true;
            }
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

}  // namespace kelvane::ui
