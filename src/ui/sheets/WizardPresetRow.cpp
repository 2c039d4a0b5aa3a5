// SPDX-License-Identifier: MIT
#include "ui/sheets/WizardPresetRow.h"

#include "ui/common/VisibleName.h"
#include "ui/common/ElidedLabel.h"
#include "ui/common/Symbols.h"
#include "ui/common/TextStyles.h"

#include "display/Formatters.h"
#include "operations/sheets/WizardSheetModel.h"
#include "ui/sheets/SheetWidgets.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace kelvane::ui::sheets {

namespace {

QLabel* badge(const QString& text, const QColor& color, QWidget* parent)
{
    QLabel* label = plainLabel(text, parent);
    setRelativeFontSize(label, -1);
    QColor fill = color;
    fill.setAlphaF(0.2);
    label->setStyleSheet(QStringLiteral("QLabel { color: %1; background: %2; border-radius: 8px; padding: 2px 6px; }")
                             .arg(color.name(), fill.name(QColor::HexArgb)));
    return label;
}

}  // namespace

WizardPresetRow::WizardPresetRow(operations::WizardPreset preset, std::function<void()> onRegisterAll,
                                 std::function<void()> onInspect, QWidget* parent)
    : QFrame(parent), preset_(std::move(preset))
{
    setObjectName(QString::fromStdString("preset-" + preset_.id));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(8, 4, 8, 4);
    column->setSpacing(8);

    auto* first = new QHBoxLayout;
    first->setSpacing(10);
    icon_ = new QLabel(this);
    icon_->setFixedWidth(36);
    icon_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    first->addWidget(icon_, 0, Qt::AlignTop);

    auto* info = new QVBoxLayout;
    info->setSpacing(4);
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(6);
    QLabel* title = plainLabel(QString::fromStdString(preset_.title), this);
    setRelativeFontSize(title, 1, true);
    registeredBadge_ = badge(QStringLiteral("登録済み"), kGreen, this);
    QLabel* probe = plainLabel({}, this);
    setSecondaryText(probe);
    missingBadge_ = badge(QStringLiteral("未検出"), probe->palette().color(QPalette::WindowText), this);
    delete probe;
    titleRow->addWidget(title);
    titleRow->addWidget(registeredBadge_);
    titleRow->addWidget(missingBadge_);
    titleRow->addStretch(1);
    info->addLayout(titleRow);
    auto* path = stretchingElidedLabel(Qt::ElideLeft, this);
    path->setText(visibleName(preset_.displayPath()));
    path->setToolTip(path->text());
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(std::max(6.0, font().pointSizeF() - 1));
    path->setFont(mono);
    setSecondaryText(path);
    info->addWidget(path);
    QLabel* subtitle = plainLabel(QString::fromStdString(preset_.subtitle), this);
    subtitle->setWordWrap(true);
    setSecondaryText(subtitle);
    info->addWidget(subtitle);
    first->addLayout(info, 1);

    auto* sizeColumn = new QVBoxLayout;
    sizeColumn->setSpacing(4);
    size_ = plainLabel({}, this);
    size_->setObjectName("size");
    size_->setAlignment(Qt::AlignRight);
    measuring_ = new QProgressBar(this);
    measuring_->setRange(0, 0);
    measuring_->setTextVisible(false);
    measuring_->setFixedSize(40, 8);
    QLabel* reduction = plainLabel(QStringLiteral("想定削減 %1–%2%")
                                       .arg(preset_.expectedReductionRange.lowerBound)
                                       .arg(preset_.expectedReductionRange.upperBound),
                                   this);
    reduction->setObjectName("reduction");
    setRelativeFontSize(reduction, -1);
    setSecondaryText(reduction);
    sizeColumn->addWidget(size_, 0, Qt::AlignRight);
    sizeColumn->addWidget(measuring_, 0, Qt::AlignRight);
    sizeColumn->addWidget(reduction, 0, Qt::AlignRight);
    sizeColumn->addStretch(1);
    first->addLayout(sizeColumn);
    column->addLayout(first);

    auto* second = new QHBoxLayout;
    second->setSpacing(8);
    second->addStretch(1);
    inspect_ = new QPushButton(symbolIcon(u"list.bullet.rectangle"), QStringLiteral("中身を見る"), this);
    inspect_->setObjectName("inspectButton");
    inspect_->setToolTip(QStringLiteral("配下のファイルを走査して、サイズの大きい順 / 期待削減率の高い順に確認しながら個別に選んで登録します。"
                                        "特定のファイルだけ圧縮したい場合はこちら。"));
    registerAll_ = new QPushButton(symbolIcon(u"plus.circle.fill"), QStringLiteral("全部登録"), this);
    registerAll_->setObjectName("registerAllButton");
    registerAll_->setToolTip(QStringLiteral("このフォルダ配下のすべてのファイルを一括登録します（再帰的）。\n\n"
                                            "このプリセットは「再生成可能 / 削除しても害が少ない」フォルダを推奨対象として選定しているため、"
                                            "まとめて登録 → 一括圧縮しても安全です。期待削減率もカードに表示されています。"));
    for (QPushButton* button : {inspect_, registerAll_}) {
        button->setAutoDefault(false);
        setRelativeFontSize(button, -1);
        second->addWidget(button);
    }
    column->addLayout(second);

    connect(inspect_, &QPushButton::clicked, this, std::move(onInspect));
    connect(registerAll_, &QPushButton::clicked, this, std::move(onRegisterAll));
    update(std::nullopt, false);
}

void WizardPresetRow::update(std::optional<std::int64_t> sizeBytes, bool isRegistered)
{
    const bool present = operations::WizardSheetModel::isPresent(preset_);
    icon_->setPixmap(symbolPixmap(QString::fromStdString(preset_.icon),
                                  present ? palette().color(QPalette::Highlight) : secondaryColor(palette()), 28, 2.0));
    icon_->setProperty("symbol", QString::fromStdString(preset_.icon));
    registeredBadge_->setVisible(isRegistered);
    missingBadge_->setVisible(!present);
    if (sizeBytes) {
        size_->setText(display::formatBytes(*sizeBytes));
        setRelativeFontSize(size_, 3);
    }
    // A missing folder says so by its badge; no size stands in for one.
    size_->setVisible(sizeBytes.has_value());
    measuring_->setVisible(!sizeBytes && present);
    inspect_->setEnabled(present);
    registerAll_->setEnabled(present && !isRegistered);
}

}  // namespace kelvane::ui::sheets
