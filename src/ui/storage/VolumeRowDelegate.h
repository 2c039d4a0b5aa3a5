// SPDX-License-Identifier: MIT
#pragma once

#include "ui/common/RowCellDelegate.h"

namespace kelvane::ui {

class VolumeListModel;

// Paints a sidebar row: the drive symbol, the volume's name, and below it the
// file-system type with the encryption and no-compression badges, each badge
// with its own tooltip.
class VolumeRowDelegate : public RowBackgroundDelegate {
    Q_OBJECT
public:
    // The badges of a volume, in the order they are drawn.
    struct Badge {
        QString symbol;
        QString help;
    };

    VolumeRowDelegate(const VolumeListModel* model, QObject* parent = nullptr);

    static std::vector<Badge> badges(bool isEncrypted, bool supportsCompression);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

private:
    struct Layout {
        QRect icon;
        QRect name;
        QRect type;
        std::vector<QRect> badges;
    };
    Layout layout(const QStyleOptionViewItem& option, const QModelIndex& index) const;

    const VolumeListModel* model_;
};

}  // namespace kelvane::ui
