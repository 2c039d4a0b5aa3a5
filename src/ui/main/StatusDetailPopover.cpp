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
    return detail.kind == StatusDetail::Kind::error ? QStringLiteral("ステータス取得に失敗")
                                                    : QStringLiteral("クラウドストレージに退避中");
}

StatusDetailPopover::StatusDetailPopover(const StatusDetail& detail, const std::filesystem::path&,
                                         std::function<void()> onReveal, std::function<void()> onRetry,
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
    const bool error = detail.kind == StatusDetail::Kind::error;
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

    auto* text = new QLabel(detail.kind == StatusDetail::Kind::error ? detail.reason
                                                                      : TableCells::datalessExplanation());
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
    if (detail.kind == StatusDetail::Kind::error) {
        auto* retry = new QPushButton(symbolIcon(u"arrow.clockwise"), QStringLiteral("再試行"));
        retry->setObjectName(QStringLiteral("retry"));
        connect(retry, &QPushButton::clicked, this, [this, onRetry = std::move(onRetry)] {
            close();
            onRetry();
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
