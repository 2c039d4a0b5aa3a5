// SPDX-License-Identifier: MIT
#include "ui/sheets/CandidateTableModel.h"

#include "ui/common/Symbols.h"
#include "ui/common/TextStyles.h"

#include <QApplication>

namespace kelvane::ui::sheets {

QVariant CandidateTable::lookData(Look look, int role)
{
    switch (role) {
    case Qt::DecorationRole:
        if (look == Look::name)
            return fileNameIcon();
        break;
    case Qt::TextAlignmentRole:
        if (look == Look::figure)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        break;
    case Qt::FontRole:
        if (look == Look::figure || look == Look::date)
            return monospacedDigitsFont(QApplication::font());
        break;
    default:
        break;
    }
    return {};
}

}  // namespace kelvane::ui::sheets
