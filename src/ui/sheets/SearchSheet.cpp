// SPDX-License-Identifier: MIT
#include "ui/sheets/SearchSheet.h"

#include "ui/common/ColumnWidths.h"
#include "ui/common/ElidedLabel.h"
#include "ui/common/Symbols.h"
#include "ui/common/TextStyles.h"

#include "operations/sheets/AskAIModel.h"
#include "operations/sheets/SearchSheetModel.h"
#include "ui/common/Shell.h"
#include "ui/common/VisibleName.h"
#include "ui/common/WindowKeys.h"
#include "ui/sheets/AskAISheet.h"
#include "ui/sheets/SearchResultsTableModel.h"
#include "ui/sheets/SheetWidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QRegularExpressionValidator>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kelvane::ui::sheets {

using operations::SearchSheetModel;

namespace {

enum Page { searchingPage, errorPage, emptyPage, tablePage };

template <class Enum>
void fillCombo(QComboBox* combo, std::initializer_list<Enum> values)
{
    for (Enum value : values)
        combo->addItem(SearchSheetModel::label(value), static_cast<int>(value));
}

QLineEdit* sizeField(QWidget* parent, const char* name)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setFixedWidth(60);
    field->setAlignment(Qt::AlignRight);
    return field;
}

template <class OnClick>
QToolButton* stepButton(Qt::ArrowType arrow, const QString& name, const QString& toolTip, QWidget* parent,
                        OnClick onClick)
{
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAccessibleName(name);
    button->setToolTip(toolTip);
    QObject::connect(button, &QToolButton::clicked, parent, onClick);
    return button;
}

QWidget* row(QWidget* parent, std::initializer_list<QWidget*> widgets, int spacing = 8)
{
    auto* box = new QWidget(parent);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    for (QWidget* widget : widgets)
        layout->addWidget(widget);
    layout->addStretch(1);
    return box;
}

}  // namespace

SearchSheet::SearchSheet(std::unique_ptr<SearchSheetModel> model, Shell& shell, QWidget* parent)
    : QDialog(parent), model_(std::move(model)), shell_(shell)
{
    setUpSheet(this, QStringLiteral("検索"), {600, 480}, {880, 660});
    results_ = new SearchResultsTableModel(*model_, this);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto* close = sheetButton(QStringLiteral("閉じる"), this, "closeButton");
    search_ = sheetButton(QStringLiteral("検索"), this, "searchButton", symbolIcon(u"magnifyingglass"));
    outer->addLayout(spreadRow({close}, {search_}, {12, 8, 12, 8}));
    outer->addWidget(horizontalDivider(this));
    outer->addWidget(buildForm());
    outer->addWidget(horizontalDivider(this));
    outer->addWidget(buildResultArea(), 1);
    outer->addWidget(horizontalDivider(this));
    counts_ = plainLabel({}, this);
    counts_->setObjectName("counts");
    setSecondaryText(counts_);
    register_ = sheetButton({}, this, "registerButton", symbolIcon(u"plus.circle.fill"));
    outer->addLayout(spreadRow({counts_}, {register_}, {20, 12, 20, 12}, 12));

    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(search_, &QPushButton::clicked, model_.get(), &SearchSheetModel::startSearch);
    connect(register_, &QPushButton::clicked, model_.get(), &SearchSheetModel::registerSelection);
    connectModel();
    showForm();
    showSearchState();
    showFooter();
}

SearchSheet::~SearchSheet() = default;

void SearchSheet::connectModel()
{
    connect(model_.get(), &SearchSheetModel::formChanged, this, &SearchSheet::showForm);
    connect(model_.get(), &SearchSheetModel::searchStateChanged, this, [this] {
        showSearchState();
        if (!model_->isSearching())
            refreshTable();
    });
    connect(model_.get(), &SearchSheetModel::resultsChanged, this, [this] {
        // While searching only the counts move; the table follows at the end.
        if (!model_->isSearching())
            refreshTable();
        showSearchState();
        showFooter();
    });
    connect(model_.get(), &SearchSheetModel::resultsSortOrderChanged, this, &SearchSheet::refreshTable);
    connect(model_.get(), &SearchSheetModel::selectionChanged, this, [this] {
        selectionLink_->showSelection();
        showFooter();
    });
    connect(model_.get(), &SearchSheetModel::registrationSummaryChanged, this, &SearchSheet::showRegistrationSummary);
    connect(model_.get(), &SearchSheetModel::closeRequested, this, &QDialog::accept);
}

QWidget* SearchSheet::buildForm()
{
    auto* form = new QWidget(this);
    auto* grid = new QGridLayout(form);
    grid->setContentsMargins(20, 20, 20, 20);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(10);
    grid->setColumnStretch(1, 1);
    const std::pair<QString, QWidget*> rows[] = {
        {QStringLiteral("検索フォルダ:"), buildRootRow(form)},
        {QStringLiteral("最終更新日:"), buildDateRow(form)},
        {QStringLiteral("ファイルサイズ:"), buildSizeRow(form)},
        {QStringLiteral("拡張子:"), buildExtensionRow(form)},
        {QString(), buildExclusionRow(form)},
    };
    int index = 0;
    for (const auto& [label, content] : rows) {
        grid->addWidget(plainLabel(label, form), index, 0, Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(content, index++, 1);
    }
    return form;
}

QWidget* SearchSheet::buildRootRow(QWidget* form)
{
    root_ = stretchingElidedLabel(Qt::ElideMiddle, form);
    root_->setObjectName("rootPath");
    setSecondaryText(root_);
    auto* choose = sheetButton(QStringLiteral("選択…"), form, "chooseRootButton");
    recursive_ = new QCheckBox(QStringLiteral("サブフォルダを含む"), form);
    recursive_->setObjectName("recursive");
    auto* rootRow = new QWidget(form);
    auto* rootLayout = new QHBoxLayout(rootRow);
    rootLayout->setContentsMargins(0, 0, 0, 0);
    rootLayout->setSpacing(8);
    rootLayout->addWidget(root_, 1);
    rootLayout->addWidget(choose);
    rootLayout->addWidget(recursive_);
    connect(choose, &QPushButton::clicked, this, [this] {
        shell_.pickFolder(this, QStringLiteral("検索するフォルダを選択"), [self = QPointer(this)](std::filesystem::path chosen) {
            if (self && !chosen.empty())
                self->model_->setRootURL(std::move(chosen));
        });
    });
    connect(recursive_, &QCheckBox::toggled, model_.get(), &SearchSheetModel::setRecursive);
    return rootRow;
}

QWidget* SearchSheet::buildDateRow(QWidget* form)
{
    SearchSheetModel* model = model_.get();
    dateMode_ = new QComboBox(form);
    dateMode_->setObjectName("dateMode");
    fillCombo(dateMode_, {SearchSheetModel::DateMode::none, SearchSheetModel::DateMode::olderThan});
    dateMode_->setFixedWidth(130);
    dateValue_ = new QLineEdit(form);
    dateValue_->setObjectName("dateValue");
    dateValue_->setValidator(new QRegularExpressionValidator(QRegularExpression("-?[0-9]*"), dateValue_));
    dateValue_->setFixedWidth(50);
    dateValue_->setAlignment(Qt::AlignRight);
    // The stepper keeps to 1...100; the field takes any whole number.
    QToolButton* up = stepButton(Qt::UpArrow, QStringLiteral("増やす"), QStringLiteral("1 増やす"), form, [model] {
        model->setDateValue(std::clamp<std::int64_t>(model->dateValue() + 1, 1, 100));
    });
    QToolButton* down = stepButton(Qt::DownArrow, QStringLiteral("減らす"), QStringLiteral("1 減らす"), form, [model] {
        model->setDateValue(std::clamp<std::int64_t>(model->dateValue() - 1, 1, 100));
    });
    dateUnit_ = new QComboBox(form);
    dateUnit_->setObjectName("dateUnit");
    fillCombo(dateUnit_, {SearchSheetModel::DateUnit::month, SearchSheetModel::DateUnit::year});
    dateUnit_->setFixedWidth(80);
    dateControls_ = row(form, {dateValue_, up, down, dateUnit_}, 4);

    connect(dateMode_, &QComboBox::activated, this, [this, model] {
        model->setDateMode(static_cast<SearchSheetModel::DateMode>(dateMode_->currentData().toInt()));
    });
    connect(dateValue_, &QLineEdit::textEdited, this, [model](const QString& text) {
        bool ok = false;
        const qlonglong value = text.toLongLong(&ok);
        if (ok)
            model->setDateValue(value);
    });
    connect(dateUnit_, &QComboBox::activated, this, [this, model] {
        model->setDateUnit(static_cast<SearchSheetModel::DateUnit>(dateUnit_->currentData().toInt()));
    });
    return row(form, {dateMode_, dateControls_});
}

QWidget* SearchSheet::buildSizeRow(QWidget* form)
{
    minSize_ = sizeField(form, "minSize");
    maxSize_ = sizeField(form, "maxSize");
    maxSize_->setPlaceholderText(QStringLiteral("無制限"));
    QLabel* tilde = plainLabel(QStringLiteral("〜"), form);
    tilde->setContentsMargins(4, 0, 4, 0);
    connect(minSize_, &QLineEdit::textEdited, model_.get(), &SearchSheetModel::setMinSizeMB);
    connect(maxSize_, &QLineEdit::textEdited, model_.get(), &SearchSheetModel::setMaxSizeMB);
    return row(form, {plainLabel(QStringLiteral("最小"), form), minSize_, plainLabel(QStringLiteral("MB"), form), tilde,
                      plainLabel(QStringLiteral("最大"), form), maxSize_, plainLabel(QStringLiteral("MB"), form)});
}

QWidget* SearchSheet::buildExtensionRow(QWidget* form)
{
    extPreset_ = new QComboBox(form);
    extPreset_->setObjectName("extPreset");
    fillCombo(extPreset_, {SearchSheetModel::ExtPreset::all, SearchSheetModel::ExtPreset::text,
                           SearchSheetModel::ExtPreset::sourceCode, SearchSheetModel::ExtPreset::binary});
    extPreset_->setFixedWidth(220);
    connect(extPreset_, &QComboBox::activated, this, [this] {
        model_->setExtPreset(static_cast<SearchSheetModel::ExtPreset>(extPreset_->currentData().toInt()));
    });
    return row(form, {extPreset_});
}

QWidget* SearchSheet::buildExclusionRow(QWidget* form)
{
    excludeCompressed_ = new QCheckBox(QStringLiteral("既圧縮を除外"), form);
    excludeCompressed_->setObjectName("excludeCompressed");
    excludeHidden_ = new QCheckBox(QStringLiteral("隠しファイルを除外"), form);
    excludeHidden_->setObjectName("excludeHidden");
    connect(excludeCompressed_, &QCheckBox::toggled, model_.get(), &SearchSheetModel::setExcludeAlreadyCompressed);
    connect(excludeHidden_, &QCheckBox::toggled, model_.get(), &SearchSheetModel::setExcludeHidden);
    return row(form, {excludeCompressed_, excludeHidden_}, 16);
}

QWidget* SearchSheet::buildResultArea()
{
    resultArea_ = new QStackedWidget(this);
    resultArea_->setObjectName("resultArea");
    resultArea_->insertWidget(searchingPage, buildSearchingPage());
    resultArea_->insertWidget(errorPage, buildErrorPage());
    const EmptyState empty = emptyState(
        resultArea_, QStringLiteral("magnifyingglass"), 36, QStringLiteral("検索結果なし"), 3,
        QStringLiteral("条件を変えて再検索してください。たとえば:\n・拡張子フィルタを OFF にする（対象拡張子を広げる）\n"
                       "・最小サイズを下げる（小さいファイルも含める）\n・最終更新の閾値を緩める（直近の更新ファイルも含める）\n"
                       "・「圧縮済みを除外」を OFF にする\n・ルートフォルダを上の階層に変える"),
        true);
    resultArea_->insertWidget(emptyPage, empty.box);

    table_ = new QTableView(resultArea_);
    table_->setObjectName("results");
    setUpCandidateView(table_, results_, SearchResultsTableModel::size,
                       {{160, 220}, {160, 240}, {80, 100, 130}, {100, 120, 150}, {80, 110, 140}});
    table_->setContextMenuPolicy(Qt::CustomContextMenu);
    selectionLink_ = new SelectionLink(table_, results_);
    connect(table_, &QWidget::customContextMenuRequested, this, &SearchSheet::showContextMenu);
    resultArea_->insertWidget(tablePage, table_);
    return resultArea_;
}

QWidget* SearchSheet::buildSearchingPage()
{
    auto* searching = new QWidget(resultArea_);
    auto* bar = new QProgressBar(searching);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    bar->setFixedWidth(260);
    progress_ = plainLabel({}, searching);
    progress_->setObjectName("searchProgress");
    setSecondaryText(progress_);
    auto* cancel = sheetButton(QStringLiteral("キャンセル"), searching, "cancelSearchButton");
    centredColumn(searching, {bar, progress_, cancel}, 14, true);
    connect(cancel, &QPushButton::clicked, model_.get(), &SearchSheetModel::cancelSearch);
    return searching;
}

QWidget* SearchSheet::buildErrorPage()
{
    auto* failed = new QWidget(resultArea_);
    auto* icon = new QLabel(failed);
    icon->setPixmap(symbolPixmap(u"exclamationmark.triangle.fill", QColor(0xe0, 0x7b, 0x00), 36, 2.0));
    error_ = selectableLabel({}, failed);
    error_->setObjectName("searchError");
    error_->setAlignment(Qt::AlignHCenter);
    setSecondaryText(error_);
    centredColumn(failed, {icon, error_}, 8, true, error_);
    return failed;
}

void SearchSheet::showForm()
{
    root_->setText(visibleName(model_->rootURL()));
    root_->setToolTip(root_->text());
    recursive_->setChecked(model_->recursive());
    dateMode_->setCurrentIndex(dateMode_->findData(static_cast<int>(model_->dateMode())));
    dateControls_->setVisible(model_->dateMode() == SearchSheetModel::DateMode::olderThan);
    if (dateValue_->text().toLongLong() != model_->dateValue())
        dateValue_->setText(QString::number(model_->dateValue()));
    dateUnit_->setCurrentIndex(dateUnit_->findData(static_cast<int>(model_->dateUnit())));
    if (minSize_->text() != model_->minSizeMB())
        minSize_->setText(model_->minSizeMB());
    if (maxSize_->text() != model_->maxSizeMB())
        maxSize_->setText(model_->maxSizeMB());
    extPreset_->setCurrentIndex(extPreset_->findData(static_cast<int>(model_->extPreset())));
    excludeCompressed_->setChecked(model_->excludeAlreadyCompressed());
    excludeHidden_->setChecked(model_->excludeHidden());
    search_->setEnabled(model_->canSearch());
}

void SearchSheet::showSearchState()
{
    search_->setEnabled(model_->canSearch());
    const auto& progress = model_->scanProgress();
    progress_->setText(QStringLiteral("%1 ファイルをスキャン中… (一致 %2 件)").arg(progress.scanned).arg(progress.matched));
    if (model_->isSearching()) {
        resultArea_->setCurrentIndex(searchingPage);
    } else if (model_->searchError()) {
        error_->setText(*model_->searchError());
        resultArea_->setCurrentIndex(errorPage);
    } else if (model_->results().empty()) {
        resultArea_->setCurrentIndex(emptyPage);
    } else {
        resultArea_->setCurrentIndex(tablePage);
    }
}

void SearchSheet::showFooter()
{
    const auto selected = static_cast<qulonglong>(model_->selection().size());
    counts_->setText(model_->results().empty()
                         ? QStringLiteral(" ")
                         : QStringLiteral("結果: %1 件 / 選択: %2 件").arg(model_->results().size()).arg(selected));
    register_->setText(QStringLiteral("選択を登録 (%1)").arg(selected));
    register_->setEnabled(selected > 0);
}

void SearchSheet::refreshTable()
{
    results_->refresh();
    selectionLink_->showSelection();
}

void SearchSheet::showRegistrationSummary()
{
    const auto& summary = model_->registrationSummary();
    if (!summary) {
        if (alert_)
            alert_->close();
        return;
    }
    if (!alert_) {
        alert_ = new QMessageBox(QMessageBox::Information, QStringLiteral("登録結果"), {}, QMessageBox::Ok, this);
        alert_->setTextFormat(Qt::PlainText);
        alert_->setWindowModality(Qt::WindowModal);
        alert_->setAttribute(Qt::WA_DeleteOnClose);
        connect(alert_, &QMessageBox::finished, model_.get(), &SearchSheetModel::dismissRegistrationSummary);
    }
    alert_->setText(*summary);
    alert_->open();
}

void SearchSheet::showContextMenu(const QPoint& position)
{
    const QModelIndex clicked = table_->indexAt(position);
    std::vector<std::filesystem::path> urls;
    if (clicked.isValid() && !table_->selectionModel()->isRowSelected(clicked.row(), {}))
        urls.push_back(results_->rows()[static_cast<std::size_t>(clicked.row())].candidate.url);
    else
        urls.assign(model_->selection().begin(), model_->selection().end());
    if (urls.empty())
        return;
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(symbolIcon(u"folder"), QStringLiteral("ファイルマネージャで表示(&F)"), this,
                    [this, urls] { shell_.showInFileManager(urls); });
    if (urls.size() == 1)
        menu->addAction(QStringLiteral("ローカル AI に聞く(&A)"), this, [this, url = urls.front()] { askAI(url); });
    menu->popup(table_->viewport()->mapToGlobal(position));
}

void SearchSheet::askAI(const std::filesystem::path& url)
{
    // A new target replaces the sheet of the last one.
    if (askSheet_)
        askSheet_->reject();
    auto* sheet = new AskAISheet(model_->makeAskModel(url), this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    installWindowKeys(sheet, EscapeKey::leftAlone);
    askSheet_ = sheet;
    sheet->open();
}

void SearchSheet::done(int result)
{
    model_->cancelSearch();
    if (askSheet_)
        askSheet_->reject();
    if (alert_)
        alert_->close();
    QDialog::done(result);
}

}  // namespace kelvane::ui::sheets
