// SPDX-License-Identifier: MIT
#include "ui/sheets/WizardPresetDetailView.h"

#include "ui/common/ColumnWidths.h"
#include "ui/common/ElidedLabel.h"
#include "ui/common/Symbols.h"
#include "ui/common/TextStyles.h"
#include "ui/common/VisibleName.h"

#include "operations/sheets/WizardPresetScanModel.h"
#include "ui/sheets/SheetWidgets.h"
#include "ui/sheets/WizardCandidatesTableModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

namespace kelvane::ui::sheets {

using operations::WizardPresetScanModel;

namespace {

struct AgeOption {
    int days;
    const char* label;
};
constexpr AgeOption kPresetAgeOptions[] = {{0, "制限なし"},      {7, "7 日以上前"},  {14, "14 日以上前"},
                                           {30, "30 日以上前"}, {90, "90 日以上前"}, {365, "1 年以上前"}};

}  // namespace

WizardPresetDetailView::WizardPresetDetailView(std::unique_ptr<WizardPresetScanModel> model, QWidget* parent)
    : QWidget(parent), model_(std::move(model))
{
    candidates_ = new WizardCandidatesTableModel(*model_, this);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addLayout(buildToolbar());
    outer->addLayout(buildHeader());
    outer->addWidget(horizontalDivider(this));
    outer->addLayout(buildFilters());
    outer->addWidget(horizontalDivider(this));
    buildStatus(outer);
    outer->addWidget(buildTable(), 1);
    outer->addWidget(horizontalDivider(this));
    outer->addLayout(buildFooter());
    connectModel();
    showScanState();
    showFooter();
}

QLayout* WizardPresetDetailView::buildToolbar()
{
    auto* back = sheetButton(QStringLiteral("戻る"), this, "backButton", symbolIcon(u"chevron.left"));
    stop_ = sheetButton(QStringLiteral("停止"), this, "stopButton");
    rescan_ = sheetButton(QStringLiteral("再スキャン"), this, "rescanButton");
    connect(back, &QPushButton::clicked, this, &WizardPresetDetailView::backRequested);
    connect(stop_, &QPushButton::clicked, model_.get(), &WizardPresetScanModel::cancelScan);
    connect(rescan_, &QPushButton::clicked, model_.get(), &WizardPresetScanModel::startScan);
    return spreadRow({back}, {stop_, rescan_}, {12, 8, 12, 8});
}

QLayout* WizardPresetDetailView::buildHeader()
{
    const auto& preset = model_->preset();
    auto* icon = new QLabel(this);
    icon->setFixedWidth(40);
    icon->setPixmap(symbolPixmap(QString::fromStdString(preset.icon), palette().color(QPalette::Highlight), 32, 2.0));
    QLabel* title = plainLabel(QString::fromStdString(preset.title), this);
    title->setObjectName("title");
    setRelativeFontSize(title, 3, true);
    auto* path = stretchingElidedLabel(Qt::ElideLeft, this);
    path->setText(visibleName(preset.displayPath()));
    path->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setSecondaryText(path);
    QLabel* subtitle = plainLabel(QString::fromStdString(preset.subtitle), this);
    subtitle->setWordWrap(true);
    setSecondaryText(subtitle);
    QHBoxLayout* header = symbolHeader(icon, Qt::AlignTop, {title, path, subtitle});
    header->setContentsMargins(12, 12, 12, 12);
    return header;
}

QLayout* WizardPresetDetailView::buildFilters()
{
    const auto& preset = model_->preset();
    auto* filters = new QVBoxLayout;
    filters->setContentsMargins(12, 8, 12, 8);
    filters->setSpacing(6);
    if (preset.volatilityWarning) {
        QLabel* warning = plainLabel(QStringLiteral("⚠ ") + QString::fromStdString(*preset.volatilityWarning), this);
        warning->setWordWrap(true);
        setRelativeFontSize(warning, -1);
        setTextColor(warning, kOrange);
        warning->setContentsMargins(0, 0, 0, 2);
        filters->addWidget(warning);
    }
    auto* filterRow = new QHBoxLayout;
    filterRow->setSpacing(16);
    filterRow->addLayout(buildExtensionFilter());
    filterRow->addLayout(buildAgeFilter());
    filterRow->addWidget(caption(QStringLiteral("最小サイズ: 64 KB"), this));
    filterRow->addStretch(1);
    filters->addLayout(filterRow);
    return filters;
}

QLayout* WizardPresetDetailView::buildExtensionFilter()
{
    auto* row = new QHBoxLayout;
    if (!model_->hasPriorityExtensions()) {
        row->addWidget(caption(QStringLiteral("拡張子フィルタなし（配下すべてを対象）"), this));
        return row;
    }
    QStringList extensions;
    for (const std::string& extension : *model_->preset().priorityExtensions)
        extensions << "." + QString::fromStdString(extension);
    auto* box = new QCheckBox(QStringLiteral("拡張子フィルタ"), this);
    box->setObjectName("extensionFilter");
    box->setChecked(model_->useExtensionFilter());
    box->setToolTip(QStringLiteral("OFF にすると配下のすべての拡張子を対象にスキャンします"));
    row->setSpacing(4);
    row->addWidget(box);
    row->addWidget(caption(QStringLiteral("（") + extensions.join(' ') + QStringLiteral("）"), this));
    connect(box, &QCheckBox::toggled, model_.get(), &WizardPresetScanModel::setUseExtensionFilter);
    return row;
}

QLayout* WizardPresetDetailView::buildAgeFilter()
{
    auto* age = new QComboBox(this);
    age->setObjectName("minimumAge");
    age->setMaximumWidth(200);
    age->setToolTip(QStringLiteral("これより最近更新されたファイルは除外します。書き込み中のファイルを圧縮して効果が消える事故を防ぐ用途。"));
    for (const AgeOption& option : kPresetAgeOptions)
        age->addItem(QString::fromUtf8(option.label), option.days);
    age->setCurrentIndex(age->findData(static_cast<int>(model_->minimumAgeDays())));
    connect(age, &QComboBox::activated, this, [this, age] { model_->setMinimumAgeDays(age->currentData().toInt()); });
    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    row->addWidget(plainLabel(QStringLiteral("最終更新"), this));
    row->addWidget(age);
    return row;
}

void WizardPresetDetailView::buildStatus(QVBoxLayout* outer)
{
    scanning_ = busyRow({}, this, {12, 8, 12, 8}, 12);
    scanning_.text->setObjectName("scanProgress");
    outer->addWidget(scanning_.row);

    error_ = plainLabel({}, this);
    error_->setObjectName("scanError");
    error_->setWordWrap(true);
    error_->setContentsMargins(12, 8, 12, 8);
    setTextColor(error_, kOrange);
    outer->addWidget(error_);

    empty_ = emptyState(this, QStringLiteral("tray"), 32, QStringLiteral("該当するファイルがありません"), 1, {}, false);
    empty_.box->layout()->setContentsMargins(12, 28, 12, 28);
    empty_.text->setObjectName("emptyHint");
    empty_.text->setAlignment(Qt::AlignHCenter);
    outer->addWidget(empty_.box);
}

QTableView* WizardPresetDetailView::buildTable()
{
    table_ = new QTableView(this);
    table_->setObjectName("candidates");
    setUpCandidateView(table_, candidates_, WizardCandidatesTableModel::size,
                       {{220, 320}, {80, 100, 120}, {80, 100, 120}, {110, 140, 180}, {160, 240}});
    selectionLink_ = new SelectionLink(table_, candidates_);
    return table_;
}

QLayout* WizardPresetDetailView::buildFooter()
{
    counts_ = plainLabel({}, this);
    counts_->setObjectName("counts");
    setSecondaryText(counts_);
    selectAll_ = sheetButton(QStringLiteral("全選択"), this, "selectAllButton");
    clear_ = sheetButton(QStringLiteral("選択解除"), this, "clearButton");
    register_ = sheetButton(QStringLiteral("選択を登録"), this, "registerButton", symbolIcon(u"plus.circle.fill"));
    connect(selectAll_, &QPushButton::clicked, model_.get(), &WizardPresetScanModel::selectAll);
    connect(clear_, &QPushButton::clicked, model_.get(), &WizardPresetScanModel::clearSelection);
    connect(register_, &QPushButton::clicked, model_.get(), &WizardPresetScanModel::registerSelection);

    // Return registers, but only while something is selected.
    for (auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this] {
            if (register_->isEnabled())
                register_->click();
        });
    }
    return spreadRow({counts_}, {selectAll_, clear_, register_}, {12, 12, 12, 12}, 12);
}

void WizardPresetDetailView::connectModel()
{
    connect(model_.get(), &WizardPresetScanModel::scanStateChanged, this, &WizardPresetDetailView::showScanState);
    connect(model_.get(), &WizardPresetScanModel::candidatesChanged, this, [this] {
        selectionLink_->showSelection();
        showScanState();
        showFooter();
    });
    connect(model_.get(), &WizardPresetScanModel::selectionChanged, this, [this] {
        selectionLink_->showSelection();
        showFooter();
    });
}

WizardPresetDetailView::~WizardPresetDetailView() = default;

// The page appears when it is pushed and disappears when it is popped or its
// sheet closes. A minimised window hides and shows it too, by the system's
// doing (spontaneously): that leaves the scan alone.
void WizardPresetDetailView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        model_->startScan();
}

void WizardPresetDetailView::hideEvent(QHideEvent* event)
{
    if (!event->spontaneous())
        model_->cancelScan();
    QWidget::hideEvent(event);
}

void WizardPresetDetailView::showScanState()
{
    const bool scanning = model_->isScanning();
    stop_->setVisible(scanning);
    rescan_->setVisible(!scanning);
    rescan_->setEnabled(operations::WizardSheetModel::isPresent(model_->preset()));
    scanning_.row->setVisible(scanning);
    scanning_.text->setText(QStringLiteral("走査中: %1 件、候補 %2 件")
                           .arg(model_->progress().scanned)
                           .arg(model_->progress().matched));
    const bool failed = !scanning && model_->scanError();
    error_->setVisible(failed);
    error_->setText(failed ? QStringLiteral("⚠ ") + *model_->scanError() : QString());
    empty_.box->setVisible(!scanning && !failed && model_->candidates().empty());
    empty_.text->setText(model_->useExtensionFilter() && model_->hasPriorityExtensions()
                            ? QStringLiteral("拡張子フィルタを OFF にすると配下の他のファイルも候補に含められます。")
                            : QStringLiteral("64 KB 未満のファイルや既圧縮ファイルは除外されています。"));
}

void WizardPresetDetailView::showFooter()
{
    const auto shown = static_cast<qulonglong>(candidates_->rows().size());
    const auto selected = static_cast<qulonglong>(model_->selection().size());
    counts_->setText(QStringLiteral("%1 件 選択中 / 表示 %2 件（最大 %3）")
                         .arg(selected)
                         .arg(shown)
                         .arg(WizardPresetScanModel::displayLimit));
    selectAll_->setEnabled(shown > 0);
    clear_->setEnabled(selected > 0);
    register_->setEnabled(selected > 0);
}

}  // namespace kelvane::ui::sheets
