// SPDX-License-Identifier: MIT
#include "ui/sheets/CloudFolderWarningSheet.h"

#include "ui/common/TextStyles.h"
#include "ui/common/ElidedLabel.h"
#include "ui/common/Symbols.h"
#include "ui/common/SheetButtons.h"
#include "ui/common/VisibleName.h"
#include "ui/sheets/SheetWidgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelvane::ui {

CloudFolderWarningSheet::CloudFolderWarningSheet(const std::filesystem::path& url, operations::CloudService service,
                                                 QWidget* parent)
    : QDialog(parent)
{
    QVBoxLayout* layout = sheets::setUpConfirmationSheet(this, "cloudFolderWarningSheet", 480);

    auto* header = new QHBoxLayout;
    header->setSpacing(14);
    auto* symbol = new QLabel;
    symbol->setPixmap(symbolPixmap(u"exclamationmark.icloud.fill", QColor(0xe0, 0x7b, 0x00), 36, 2.0));
    header->addWidget(symbol, 0, Qt::AlignVCenter);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    auto* heading = new QLabel(operations::cloudWarningTitle(service));
    heading->setTextFormat(Qt::PlainText);
    heading->setObjectName(QStringLiteral("title"));
    QFont headingFont = heading->font();
    headingFont.setBold(true);
    heading->setFont(headingFont);
    heading->setWordWrap(true);
    auto* name = new ElidedLabel(Qt::ElideMiddle);
    name->setObjectName(QStringLiteral("itemName"));
    name->setText(visibleName(url.filename()));
    setSecondaryText(name);
    titles->addWidget(heading);
    titles->addWidget(name);
    header->addLayout(titles, 1);
    layout->addLayout(header);

    // The caveats are our own fixed texts with their bold parts.
    const char* caveats[] = {
        "クラウド側は <b>非圧縮</b> のままなのでクラウド容量は減りません。ローカルの SSD だけが節約されます。",
        "<b>他端末・Web で編集</b>された変更が同期で書き戻されると圧縮が剥がれます。",
        "圧縮による xattr / フラグの変更を sync が「変更」と検知して <b>再アップロード</b> が走る可能性があります。",
    };
    auto* list = new QVBoxLayout;
    list->setSpacing(8);
    for (const char* caveat : caveats) {
        auto* line = new QHBoxLayout;
        line->setSpacing(8);
        auto* bullet = new QLabel(QStringLiteral("•"));
        setSecondaryText(bullet);
        auto* text = new QLabel(QString::fromUtf8(caveat));
        text->setTextFormat(Qt::RichText);
        text->setWordWrap(true);
        setSecondaryText(text);
        line->addWidget(bullet, 0, Qt::AlignTop);
        line->addWidget(text, 1);
        list->addLayout(line);
    }
    layout->addLayout(list);

    connect(addSheetButtons(layout, this, QStringLiteral("それでも登録")), &QPushButton::clicked, this,
            &QDialog::accept);
}

}  // namespace kelvane::ui
