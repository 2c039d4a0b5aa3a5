// SPDX-License-Identifier: MIT
#include "ui/common/SheetButtons.h"

#include <QBoxLayout>
#include <QDialog>
#include <QPushButton>

namespace kelvane::ui {

QPushButton* addSheetButtons(QBoxLayout* layout, QDialog* sheet, const QString& confirmTitle)
{
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"));
    cancel->setAutoDefault(false);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    auto* confirm = new QPushButton(confirmTitle);
    confirm->setDefault(true);
    confirm->setObjectName(QStringLiteral("confirmButton"));
    QObject::connect(cancel, &QPushButton::clicked, sheet, &QDialog::reject);
    buttons->addWidget(cancel);
    buttons->addWidget(confirm);
    layout->addLayout(buttons);
    return confirm;
}

}  // namespace kelvane::ui
