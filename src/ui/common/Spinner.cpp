// SPDX-License-Identifier: MIT
#include "ui/common/Spinner.h"

#include "ui/common/RowCellDelegate.h"
#include "ui/common/TextStyles.h"

#include <QPainter>

namespace kelvane::ui {

Spinner::Spinner(QWidget* parent, int side) : QWidget(parent)
{
    setObjectName(QStringLiteral("spinner"));
    setFixedSize(side, side);
}

void Spinner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    RowCellDelegate::paintSpinner(&painter, rect(), secondaryColor(palette()), SpinnerClock::shared().angle());
    SpinnerClock::shared().keepTurning(this);
}

}  // namespace kelvane::ui
