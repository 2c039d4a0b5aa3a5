// SPDX-License-Identifier: MIT
#include "ui/main/StatusDetailPopover.h"

#include "ui/common/Symbols.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelvane::ui {

QString StatusDetailPopover::title(const StatusDetail& detail)
{
    switch (detail.kind) {
    case StatusDetail::Kind::error: return QStringLiteral("ステータス取得に失敗");
    case StatusDetail::Kind::datalessCloud: return QStringLiteral("クラウドストレージに退避中");
    case StatusDetail::Kind::unserved: return QStringLiteral("kelvanefs のマウント外");
    }
    return {};
}

StatusDetailPopover::StatusDetailPopover(const StatusDetail& detail, const std::filesystem::path&,
                                         std::function<void()> onReveal, std::function<void()> onAction,
                                         QWidget* parent)
    : Popover(parent)
{
    setObjectName(QStringLiteral("statusDetailPopover"));
    // 380 wide, or what the buttons need with this desktop's font.
    setMinimumWidth(380);
    setMaximumWidth(480);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(12);

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    auto* symbol = new QLabel;
    const bool error = detail.kind != StatusDetail::Kind::datalessCloud;
    symbol->setPixmap(symbolPixmap(error ? u"exclamationmark.triangle.fill" : u"icloud.and.arrow.down",
                                   error ? QColor(0xe0, 0x7b, 0x00) : QColor(0x1e, 0x6f, 0xd9), 20, 2.0));
    auto* heading = new QLabel(title(detail));
    heading->setObjectName(QStringLiteral("title"));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    header->addWidget(symbol);
    header->addWidget(heading, 1);
    layout->addLayout(header);

    auto* text = new QLabel(error ? detail.reason : TableCells::datalessExplanation());
    text->setObjectName(QStringLiteral("explanation"));
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->setMinimumWidth(380 - 32);
    layout->addWidget(text);

    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);

    auto* buttons = new QHBoxLayout;
    auto* reveal = new QPushButton(symbolIcon(u"folder"), QStringLiteral("ファイルマネージャで確認"));
    reveal->setObjectName(QStringLiteral("reveal"));
    connect(reveal, &QPushButton::clicked, this, [onReveal = std::move(onReveal)] { onReveal(); });
    buttons->addWidget(reveal);
    buttons->addStretch(1);
    if (error) {
        const bool mount = detail.kind == StatusDetail::Kind::unserved;
        auto* retry = mount ? new QPushButton(symbolIcon(u"externaldrive.fill"), QStringLiteral("マウント"))
                            : new QPushButton(symbolIcon(u"arrow.clockwise"), QStringLiteral("再試行"));
        retry->setObjectName(mount ? QStringLiteral("mount") : QStringLiteral("retry"));
        connect(retry, &QPushButton::clicked, this, [this, onAction = std::move(onAction)] {
            close();
            onAction();
        });
        buttons->addWidget(retry);
    }
    auto* closeButton = new QPushButton(QStringLiteral("閉じる"));
    closeButton->setObjectName(QStringLiteral("close"));
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);
}

}  // namespace kelvane::ui
