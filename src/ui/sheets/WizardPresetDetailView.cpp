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
#include <QScopedValueRollback>
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
    const auto& preset = model_->preset();
    candidates_ = new WizardCandidatesTableModel(*model_, this);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* toolbar = new QHBoxLayout;
    toolbar->setContentsMargins(12, 8, 12, 8);
    auto* back = new QPushButton(symbolIcon(u"chevron.left"), QStringLiteral("戻る"), this);
    back->setAutoDefault(false);
    stop_ = new QPushButton(QStringLiteral("停止"), this);
    rescan_ = new QPushButton(QStringLiteral("再スキャン"), this);
    for (QPushButton* button : {stop_, rescan_})
        button->setAutoDefault(false);
    toolbar->addWidget(back);
    toolbar->addStretch(1);
    toolbar->addWidget(stop_);
    toolbar->addWidget(rescan_);
    outer->addLayout(toolbar);

    // Header.
    auto* header = new QHBoxLayout;
    header->setContentsMargins(12, 12, 12, 12);
    header->setSpacing(12);
    auto* icon = new QLabel(this);
    icon->setFixedWidth(40);
    icon->setPixmap(symbolPixmap(QString::fromStdString(preset.icon), palette().color(QPalette::Highlight), 32, 2.0));
    header->addWidget(icon, 0, Qt::AlignTop);
    auto* info = new QVBoxLayout;
    info->setSpacing(4);
    QLabel* title = plainLabel(QString::fromStdString(preset.title), this);
    title->setObjectName("title");
    setRelativeFontSize(title, 3, true);
    auto* path = stretchingElidedLabel(Qt::ElideLeft, this);
    path->setText(visibleName(preset.displayPath()));
    path->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setSecondaryStyle(path);
    QLabel* subtitle = plainLabel(QString::fromStdString(preset.subtitle), this);
    subtitle->setWordWrap(true);
    setSecondaryStyle(subtitle);
    info->addWidget(title);
    info->addWidget(path);
    info->addWidget(subtitle);
    header->addLayout(info, 1);
    outer->addLayout(header);
    outer->addWidget(horizontalDivider(this));

    // Filters.
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
    if (!model_->hasPriorityExtensions()) {
        QLabel* note = plainLabel(QStringLiteral("拡張子フィルタなし（配下すべてを対象）"), this);
        setRelativeFontSize(note, -1);
        setSecondaryStyle(note);
        filterRow->addWidget(note);
    } else {
        QStringList extensions;
        for (const std::string& extension : *preset.priorityExtensions)
            extensions << "." + QString::fromStdString(extension);
        auto* box = new QCheckBox(QStringLiteral("拡張子フィルタ"), this);
        box->setObjectName("extensionFilter");
        box->setChecked(model_->useExtensionFilter());
        box->setToolTip(QStringLiteral("OFF にすると配下のすべての拡張子を対象にスキャンします"));
        QLabel* list = plainLabel(QStringLiteral("（") + extensions.join(' ') + QStringLiteral("）"), this);
        setRelativeFontSize(list, -1);
        setSecondaryStyle(list);
        auto* boxRow = new QHBoxLayout;
        boxRow->setSpacing(4);
        boxRow->addWidget(box);
        boxRow->addWidget(list);
        filterRow->addLayout(boxRow);
        connect(box, &QCheckBox::toggled, model_.get(), &WizardPresetScanModel::setUseExtensionFilter);
    }
    auto* ageRow = new QHBoxLayout;
    ageRow->setSpacing(4);
    ageRow->addWidget(plainLabel(QStringLiteral("最終更新"), this));
    auto* age = new QComboBox(this);
    age->setObjectName("minimumAge");
    age->setMaximumWidth(200);
    age->setToolTip(QStringLiteral("これより最近更新されたファイルは除外します。書き込み中のファイルを圧縮して効果が消える事故を防ぐ用途。"));
    for (const AgeOption& option : kPresetAgeOptions)
        age->addItem(QString::fromUtf8(option.label), option.days);
    age->setCurrentIndex(age->findData(static_cast<int>(model_->minimumAgeDays())));
    ageRow->addWidget(age);
    filterRow->addLayout(ageRow);
    QLabel* minimum = plainLabel(QStringLiteral("最小サイズ: 64 KB"), this);
    setRelativeFontSize(minimum, -1);
    setSecondaryStyle(minimum);
    filterRow->addWidget(minimum);
    filterRow->addStretch(1);
    filters->addLayout(filterRow);
    outer->addLayout(filters);
    outer->addWidget(horizontalDivider(this));
    connect(age, &QComboBox::activated, this, [this, age] { model_->setMinimumAgeDays(age->currentData().toInt()); });

    // Status: progress, error or empty state.
    progressRow_ = new QWidget(this);
    auto* progressLayout = new QHBoxLayout(progressRow_);
    progressLayout->setContentsMargins(12, 8, 12, 8);
    progressLayout->setSpacing(12);
    auto* spinner = new QProgressBar(progressRow_);
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedSize(48, 10);
    progress_ = plainLabel({}, progressRow_);
    progress_->setObjectName("scanProgress");
    setSecondaryStyle(progress_);
    progressLayout->addWidget(spinner);
    progressLayout->addWidget(progress_);
    progressLayout->addStretch(1);
    outer->addWidget(progressRow_);

    error_ = plainLabel({}, this);
    error_->setObjectName("scanError");
    error_->setWordWrap(true);
    error_->setContentsMargins(12, 8, 12, 8);
    setTextColor(error_, kOrange);
    outer->addWidget(error_);

    emptyState_ = new QWidget(this);
    auto* emptyLayout = new QVBoxLayout(emptyState_);
    emptyLayout->setContentsMargins(12, 28, 12, 28);
    emptyLayout->setSpacing(8);
    auto* tray = new QLabel(emptyState_);
    tray->setPixmap(symbolPixmap(u"tray", secondaryColor(palette()), 32, 2.0));
    QLabel* emptyTitle = plainLabel(QStringLiteral("該当するファイルがありません"), emptyState_);
    setRelativeFontSize(emptyTitle, 1, true);
    emptyHint_ = plainLabel({}, emptyState_);
    emptyHint_->setObjectName("emptyHint");
    emptyHint_->setAlignment(Qt::AlignHCenter);
    setSecondaryStyle(emptyHint_);
    emptyLayout->addWidget(tray, 0, Qt::AlignHCenter);
    emptyLayout->addWidget(emptyTitle, 0, Qt::AlignHCenter);
    emptyLayout->addWidget(emptyHint_, 0, Qt::AlignHCenter);
    outer->addWidget(emptyState_);

    table_ = new QTableView(this);
    table_->setObjectName("candidates");
    table_->setModel(candidates_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setSortingEnabled(true);
    table_->horizontalHeader()->setSortIndicator(WizardCandidatesTableModel::size, Qt::DescendingOrder);
    table_->verticalHeader()->hide();
    table_->setWordWrap(false);
    table_->setTextElideMode(Qt::ElideMiddle);
    ColumnWidths::apply(table_->horizontalHeader(), {{220, 320}, {80, 100, 120}, {80, 100, 120}, {110, 140, 180}, {160, 240}});
    outer->addWidget(table_, 1);
    outer->addWidget(horizontalDivider(this));

    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(12, 12, 12, 12);
    footer->setSpacing(12);
    counts_ = plainLabel({}, this);
    counts_->setObjectName("counts");
    setSecondaryStyle(counts_);
    selectAll_ = new QPushButton(QStringLiteral("全選択"), this);
    clear_ = new QPushButton(QStringLiteral("選択解除"), this);
    register_ = new QPushButton(symbolIcon(u"plus.circle.fill"), QStringLiteral("選択を登録"), this);
    for (QPushButton* button : {selectAll_, clear_, register_})
        button->setAutoDefault(false);
    footer->addWidget(counts_);
    footer->addStretch(1);
    footer->addWidget(selectAll_);
    footer->addWidget(clear_);
    footer->addWidget(register_);
    outer->addLayout(footer);

    // Return registers, but only while something is selected.
    for (auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this] {
            if (register_->isEnabled())
                register_->click();
        });
    }

    connect(back, &QPushButton::clicked, this, &WizardPresetDetailView::backRequested);
    connect(stop_, &QPushButton::clicked, model_.get(), &WizardPresetScanModel::cancelScan);
    connect(rescan_, &QPushButton::clicked, model_.get(), &WizardPresetScanModel::startScan);
    connect(selectAll_, &QPushButton::clicked, model_.get(), &WizardPresetScanModel::selectAll);
    connect(clear_, &QPushButton::clicked, model_.get(), &WizardPresetScanModel::clearSelection);
    connect(register_, &QPushButton::clicked, model_.get(), &WizardPresetScanModel::registerSelection);
    connect(model_.get(), &WizardPresetScanModel::scanStateChanged, this, &WizardPresetDetailView::showScanState);
    connect(model_.get(), &WizardPresetScanModel::candidatesChanged, this, [this] {
        pushSelectionToView();
        showScanState();
        showFooter();
    });
    connect(model_.get(), &WizardPresetScanModel::selectionChanged, this, [this] {
        pushSelectionToView();
        showFooter();
    });
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &WizardPresetDetailView::takeSelectionFromView);
    showScanState();
    showFooter();
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
    progressRow_->setVisible(scanning);
    progress_->setText(QStringLiteral("走査中: %1 件、候補 %2 件")
                           .arg(model_->progress().scanned)
                           .arg(model_->progress().matched));
    const bool failed = !scanning && model_->scanError();
    error_->setVisible(failed);
    error_->setText(failed ? QStringLiteral("⚠ ") + *model_->scanError() : QString());
    emptyState_->setVisible(!scanning && !failed && model_->candidates().empty());
    emptyHint_->setText(model_->useExtensionFilter() && model_->hasPriorityExtensions()
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

void WizardPresetDetailView::pushSelectionToView()
{
    const QScopedValueRollback guard(syncingSelection_, true);
    selectRows(table_, candidates_->rows(), [](const auto& row) { return row.url; }, model_->selection());
}

void WizardPresetDetailView::takeSelectionFromView()
{
    if (syncingSelection_)
        return;
    // Rows beyond the shown ones keep their place in the selection.
    std::set<std::filesystem::path> selection = model_->selection();
    const auto& rows = candidates_->rows();
    for (int index = 0; index < static_cast<int>(rows.size()); ++index) {
        const auto& url = rows[static_cast<std::size_t>(index)].url;
        if (table_->selectionModel()->isRowSelected(index, {}))
            selection.insert(url);
        else
            selection.erase(url);
    }
    const QScopedValueRollback guard(syncingSelection_, true);
    model_->setSelection(std::move(selection));
}

}  // namespace kelvane::ui::sheets
