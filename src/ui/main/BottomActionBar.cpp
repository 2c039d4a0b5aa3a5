// SPDX-License-Identifier: MIT
#include "ui/main/BottomActionBar.h"

#include "display/Formatters.h"
#include "ui/sheets/ProgressTexts.h"
#include "ui/common/Symbols.h"
#include "ui/common/TextStyles.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

namespace kelvane::ui {

namespace {

QLabel* plainLabel(const QString& text = {}, const char* name = nullptr)
{
    auto* l = new QLabel(text);
    l->setTextFormat(Qt::PlainText);
    if (name)
        l->setObjectName(QString::fromLatin1(name));
    return l;
}

void setColor(QLabel* l, const QColor& color)
{
    QPalette palette = l->palette();
    palette.setColor(QPalette::WindowText, color);
    l->setPalette(palette);
}

// A box whose parts sit close together in one line.
QHBoxLayout* tightRow(QWidget* box)
{
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    return row;
}

QLabel* quietLabel(const QString& text = {}, const char* name = nullptr)
{
    QLabel* l = plainLabel(text, name);
    setSecondaryText(l);
    return l;
}

}  // namespace

BottomActionBar::BottomActionBar(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("bottomActionBar"));
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto* divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    outer->addWidget(divider);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(16, 8, 16, 8);
    row->setSpacing(14);
    outer->addLayout(row);

    row->addWidget(buildReduction());
    auto* separator = new QFrame;
    separator->setFrameShape(QFrame::VLine);
    separator->setFrameShadow(QFrame::Sunken);
    separator->setFixedHeight(18);
    row->addWidget(separator);
    buildSelectionSummary(row);
    row->addSpacing(12);
    row->addStretch(1);
    buildButtons(row);

    apply(values_);
}

QWidget* BottomActionBar::buildReduction()
{
    auto* box = new QWidget;
    box->setObjectName(QStringLiteral("reductionBox"));
    box->setToolTip(QStringLiteral("表示中の圧縮済みファイルが、いまこの瞬間で節約しているバイト数"));
    reduction_ = plainLabel(QString(), "currentReduction");
    QFont bold = reduction_->font();
    bold.setBold(true);
    reduction_->setFont(monospacedDigitsFont(bold));
    setColor(reduction_, ProgressTexts::green());
    fileCount_ = quietLabel(QString(), "compressedFileCount");
    fileCount_->setFont(monospacedDigitsFont(fileCount_->font()));
    QHBoxLayout* line = tightRow(box);
    line->addWidget(symbolLabel(u"arrow.down.circle.fill", ProgressTexts::green(), 16));
    line->addWidget(quietLabel(QStringLiteral("現在の削減")));
    line->addWidget(reduction_);
    line->addWidget(fileCount_);
    return box;
}

void BottomActionBar::buildSelectionSummary(QHBoxLayout* row)
{
    // The hint, or the selection with its files too large to compress.
    hint_ = quietLabel(QStringLiteral("行を選択すると一括操作できます"), "selectionHint");
    selectionBox_ = new QWidget;
    selection_ = quietLabel(QString(), "selectionCount");
    oversizedBox_ = new QWidget;
    oversizedBox_->setToolTip(QStringLiteral(
        "macOS の透過圧縮（decmpfs）は 1 ファイル 2 GB までのため、これらのファイルは圧縮対象から除外されています。"));
    oversized_ = plainLabel(QString(), "oversizedCount");
    setColor(oversized_, ProgressTexts::orange());
    QHBoxLayout* oversizedLine = tightRow(oversizedBox_);
    oversizedLine->addWidget(quietLabel(QStringLiteral("·")));
    oversizedLine->addWidget(symbolLabel(u"exclamationmark.triangle.fill", ProgressTexts::orange(), 14));
    oversizedLine->addWidget(oversized_);
    QHBoxLayout* selectionLine = tightRow(selectionBox_);
    selectionLine->addWidget(selection_);
    selectionLine->addWidget(oversizedBox_);
    row->addWidget(hint_);
    row->addWidget(selectionBox_);
}

void BottomActionBar::buildButtons(QHBoxLayout* row)
{
    // None has a shortcut of its own.
    const QColor text = palette().color(QPalette::ButtonText);
    selectAll_ = new QPushButton(symbolIcon(u"checkmark.circle", text), QStringLiteral("全選択"));
    selectAll_->setObjectName(QStringLiteral("selectAll"));
    selectAll_->setToolTip(QStringLiteral("表示中のすべての登録項目を選択します（Ctrl+A でも可能）"));
    compress_ = new QPushButton(symbolIcon(u"arrow.down.right.and.arrow.up.left", palette().color(QPalette::HighlightedText),
                                           palette().color(QPalette::Disabled, QPalette::ButtonText)),
                                QString());
    compress_->setObjectName(QStringLiteral("bulkCompress"));
    // Filled with the accent colour while it can be pressed; plain when disabled.
    QPalette accent = compress_->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        accent.setColor(group, QPalette::Button, palette().color(group, QPalette::Highlight));
        accent.setColor(group, QPalette::ButtonText, palette().color(group, QPalette::HighlightedText));
    }
    compress_->setPalette(accent);
    decompress_ = new QPushButton(symbolIcon(u"arrow.up.left.and.arrow.down.right", text), QString());
    decompress_->setObjectName(QStringLiteral("bulkDecompress"));
    clear_ = new QToolButton;
    clear_->setObjectName(QStringLiteral("clearSelection"));
    clear_->setIcon(symbolIcon(u"xmark.circle", text));
    clear_->setAutoRaise(true);
    clear_->setToolTip(QStringLiteral("選択を解除"));
    clear_->setAccessibleName(QStringLiteral("選択を解除"));
    for (QPushButton* b : {selectAll_, compress_, decompress_}) {
        b->setAutoDefault(false);
        row->addWidget(b);
    }
    row->addWidget(clear_);

    connect(selectAll_, &QPushButton::clicked, this, &BottomActionBar::selectAllRequested);
    connect(compress_, &QPushButton::clicked, this, &BottomActionBar::compressRequested);
    connect(decompress_, &QPushButton::clicked, this, &BottomActionBar::decompressRequested);
    connect(clear_, &QToolButton::clicked, this, &BottomActionBar::clearRequested);
}

void BottomActionBar::setValues(const BottomActionBarValues& values)
{
    if (values == values_)
        return;
    values_ = values;
    apply(values);
}

void BottomActionBar::apply(const BottomActionBarValues& values)
{
    reduction_->setText(display::formatBytes(values.currentReduction));
    fileCount_->setText(QStringLiteral("(%1 件)").arg(values.compressedFileCount));
    const bool anySelected = values.selectionCount >= 1;
    hint_->setVisible(!anySelected);
    selectionBox_->setVisible(anySelected);
    selection_->setText(QStringLiteral("選択中: %1 件").arg(values.selectionCount));
    oversizedBox_->setVisible(values.oversizedSelectedCount >= 1);
    oversized_->setText(QStringLiteral("2 GB 超 %1 件").arg(values.oversizedSelectedCount));
    selectAll_->setEnabled(values.canSelectAll);
    compress_->setText(QStringLiteral("一括圧縮 (%1)").arg(values.compressableCount));
    compress_->setEnabled(values.compressableCount != 0);
    decompress_->setText(QStringLiteral("一括圧縮解除 (%1)").arg(values.decompressableCount));
    decompress_->setEnabled(values.decompressableCount != 0);
    decompress_->setToolTip(QStringLiteral("選択した圧縮済みファイル %1 件の圧縮を解除します").arg(values.decompressableCount));
    clear_->setEnabled(anySelected);
}

}  // namespace kelvane::ui
