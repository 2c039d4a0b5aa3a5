// SPDX-License-Identifier: MIT
#include "ui/sheets/FolderRegistrationSheet.h"

#include "ui/common/TextStyles.h"
#include "operations/folders/FolderRegistration.h"
#include "ui/common/ElidedLabel.h"
#include "ui/common/SheetButtons.h"
#include "ui/common/VisibleName.h"
#include "ui/sheets/SheetWidgets.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelvane::ui {

FolderRegistrationSheet::FolderRegistrationSheet(const std::filesystem::path& folderURL, store::ModelContext& context,
                                                 QWidget* parent)
    : QDialog(parent), state_(new operations::FolderRegistration(folderURL, context, this))
{
    QVBoxLayout* layout = sheets::setUpConfirmationSheet(this, "folderRegistrationSheet", 420);

    auto* names = new QVBoxLayout;
    names->setSpacing(4);
    auto* name = new QLabel(visibleName(folderURL.filename()));
    name->setObjectName(QStringLiteral("folderName"));
    name->setTextFormat(Qt::PlainText);
    name->setWordWrap(true);
    QFont nameFont = name->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.35);
    name->setFont(nameFont);
    auto* parentPath = new ElidedLabel(Qt::ElideMiddle);
    parentPath->setObjectName(QStringLiteral("parentPath"));
    parentPath->setText(visibleName(folderURL.parent_path()));
    setSecondaryText(parentPath);
    QFont captionFont = parentPath->font();
    captionFont.setPointSizeF(captionFont.pointSizeF() * 0.85);
    parentPath->setFont(captionFont);
    names->addWidget(name);
    names->addWidget(parentPath);
    layout->addLayout(names);

    subfolders_ = new QCheckBox(QStringLiteral("サブフォルダを含む"));
    subfolders_->setChecked(state_->includeSubfolders());
    connect(subfolders_, &QCheckBox::toggled, state_, &operations::FolderRegistration::setIncludeSubfolders);
    layout->addWidget(subfolders_);

    auto* countRow = new QHBoxLayout;
    countRow->addWidget(new QLabel(QStringLiteral("対象ファイル数:")));
    counting_ = new QProgressBar;
    counting_->setRange(0, 0);
    counting_->setTextVisible(false);
    counting_->setFixedSize(40, 10);
    count_ = new QLabel;
    count_->setObjectName(QStringLiteral("fileCount"));
    count_->setTextFormat(Qt::PlainText);
    countRow->addWidget(counting_);
    countRow->addWidget(count_);
    countRow->addStretch(1);
    layout->addLayout(countRow);

    error_ = new QLabel;
    error_->setObjectName(QStringLiteral("errorMessage"));
    error_->setTextFormat(Qt::PlainText);
    error_->setWordWrap(true);
    QPalette red = error_->palette();
    red.setColor(QPalette::WindowText, QColor(0xc0, 0x1c, 0x28));
    error_->setPalette(red);
    error_->setFont(captionFont);
    layout->addWidget(error_);

    connect(addSheetButtons(layout, this, QStringLiteral("登録")), &QPushButton::clicked, this,
            &FolderRegistrationSheet::registerFolder);

    connect(state_, &operations::FolderRegistration::changed, this, &FolderRegistrationSheet::refresh);
    state_->startCount();
    refresh();
}

QString FolderRegistrationSheet::countText() const
{
    if (state_->isCounting())
        return {};
    if (!state_->fileCount())
        return QStringLiteral("—");
    return QString::number(*state_->fileCount());
}

void FolderRegistrationSheet::refresh()
{
    counting_->setVisible(state_->isCounting());
    count_->setVisible(!state_->isCounting());
    count_->setText(countText());
    QFont countFont = count_->font();
    countFont.setBold(state_->fileCount().has_value());
    count_->setFont(countFont);
    setSecondaryText(count_, !state_->fileCount());
    const auto& message = state_->errorMessage();
    error_->setVisible(message.has_value());
    error_->setText(message ? QString::fromStdString(*message) : QString());
    adjustSize();
}

void FolderRegistrationSheet::registerFolder()
{
    if (state_->registerFolder())
        accept();
}

}  // namespace kelvane::ui
