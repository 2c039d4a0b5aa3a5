// SPDX-License-Identifier: MIT
#include "ui/windows/LogScreen.h"

#include "display/Formatters.h"
#include "ui/common/ColumnWidths.h"
#include "ui/common/PageParts.h"
#include "ui/common/Shell.h"
#include "ui/common/Symbols.h"
#include "ui/common/WindowGeometry.h"
#include "ui/common/WindowKeys.h"

#include <QActionGroup>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace kelvane::ui {

using operations::HistoryFilterModel;
using operations::HistoryModel;

namespace {

using OperationFilter = HistoryFilterModel::OperationFilter;
using ResultFilter = HistoryFilterModel::ResultFilter;

// The content pages, in the stack's order.
enum Page { noHistoryPage, noMatchPage, tablePage };

QColor green()
{
    return QColor(0x2e, 0x9d, 0x48);
}
QColor red()
{
    return QColor(0xd7, 0x37, 0x2f);
}

// The cells' tones as this window's colours, and the result as its symbol.
class HistoryCellLook final : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::ForegroundRole && role != Qt::DecorationRole)
            return QIdentityProxyModel::data(index, role);
        const auto tone = QIdentityProxyModel::data(index, HistoryModel::toneRole).value<HistoryModel::Tone>();
        if (role == Qt::DecorationRole) {
            if (index.column() != HistoryModel::result)
                return {};
            static const QIcon succeeded = symbolIcon(u"checkmark.circle.fill", green());
            static const QIcon failed = symbolIcon(u"xmark.circle.fill", red());
            return tone == HistoryModel::Tone::positive ? succeeded : failed;
        }
        switch (tone) {
        case HistoryModel::Tone::plain: return {};
        case HistoryModel::Tone::secondary: return page::secondaryColor();
        case HistoryModel::Tone::accent: return page::tintColor();
        case HistoryModel::Tone::positive: return green();
        case HistoryModel::Tone::negative: return red();
        }
        return {};
    }
};

// The detail column is cut at its end, not in the middle like the paths.
class ElideRightDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideRight;
    }
};

QWidget* emptyState(const QString& title, const QString& description)
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addStretch();
    auto* titleLabel = new QLabel(title);
    titleLabel->setObjectName(QStringLiteral("emptyTitle"));
    titleLabel->setFont(page::font(page::FontRole::title2));
    titleLabel->setAlignment(Qt::AlignCenter);
    auto* descriptionLabel = new QLabel(description);
    descriptionLabel->setAlignment(Qt::AlignCenter);
    descriptionLabel->setStyleSheet(page::colorCss(page::secondaryColor()));
    layout->addWidget(titleLabel);
    layout->addWidget(descriptionLabel);
    layout->addStretch();
    return page;
}

QLabel* footerFigure(const QString& objectName, const QColor& color)
{
    auto* label = new QLabel;
    label->setObjectName(objectName);
    label->setFont(page::font(page::FontRole::callout));
    label->setStyleSheet(page::colorCss(color));
    return label;
}

// The minimums add up to 686 px, inside the 704 px the table has in a window
// of the least width (720 px, less its frame and a vertical scroll bar), so
// the window never scrolls sideways; the ideals fill a 960 px window.
const std::vector<ColumnWidth>& columnBounds()
{
    static const std::vector<ColumnWidth> bounds{{112, 150, 180}, {40, 60, 80},  {120, 320},     {60, 90, 110},
                                                 {60, 90, 110},   {60, 90, 110}, {76, 100, 130}, {50, 80, 100},
                                                 {36, 60, 80},    {72, 200}};
    return bounds;
}

}  // namespace

LogScreen::LogScreen(std::shared_ptr<store::ModelContainer> container, store::ModelContext& context, Shell& shell,
                     QWidget* parent)
    : QWidget(parent, Qt::Window), shell_(shell),
      records_(std::make_unique<HistoryModel>(std::move(container), context)),
      history_(std::make_unique<HistoryFilterModel>(*records_))
{
    setWindowTitle(QStringLiteral("履歴ログ"));
    installWindowKeys(this, EscapeKey::closes);
    setMinimumSize(720, 480);
    // Rows a filter hides or a reload drops leave the view's selection, which
    // is not the user's choice. Connected before the view is, so the flag is
    // up when the view reports it; shownChanged puts it down again.
    for (const auto aboutToChange : {&QAbstractItemModel::rowsAboutToBeRemoved, &QAbstractItemModel::rowsAboutToBeInserted})
        connect(history_.get(), aboutToChange, this, [this] { syncingSelection_ = true; });
    connect(history_.get(), &QAbstractItemModel::layoutAboutToBeChanged, this, [this] { syncingSelection_ = true; });
    connect(history_.get(), &QAbstractItemModel::modelAboutToBeReset, this, [this] { syncingSelection_ = true; });
    build();
    WindowGeometry::keep(this, "logWindowGeometry", QSize(960, 640));
    connect(history_.get(), &HistoryFilterModel::shownChanged, this, [this] {
        restoreViewSelection();
        refreshView();
    });
    connect(history_.get(), &HistoryFilterModel::selectionChanged, this, [this] {
        if (!syncingSelection_)
            restoreViewSelection();
        refreshChrome();
    });
    refreshView();
}

LogScreen::~LogScreen()
{
    // The table goes before the models it shows.
    delete content_;
}

void LogScreen::build()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addWidget(buildToolbar());
    outer->addWidget(buildContent(), 1);
    outer->addWidget(page::divider());
    outer->addWidget(buildFooter());
}

QWidget* LogScreen::buildToolbar()
{
    auto* toolbar = new QToolBar;
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    operationButton_ = buildFilterButton<OperationFilter>(QStringLiteral("operationFilter"),
                                                          QStringLiteral("arrow.triangle.2.circlepath"),
                                                          QStringLiteral("操作"), &HistoryFilterModel::setOperationFilter);
    toolbar->addWidget(operationButton_);
    resultButton_ = buildFilterButton<ResultFilter>(QStringLiteral("resultFilter"), QStringLiteral("checkmark.circle"),
                                                    QStringLiteral("結果"), &HistoryFilterModel::setResultFilter);
    toolbar->addWidget(resultButton_);

    copyAction_ = new QAction(symbolIcon(QStringLiteral("doc.on.doc")), QStringLiteral("コピー"), this);
    copyAction_->setObjectName(QStringLiteral("copy"));
    copyAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    copyAction_->setShortcutContext(Qt::WindowShortcut);
    connect(copyAction_, &QAction::triggered, this, [this] { copyAsTSV(); });
    addAction(copyAction_);
    toolbar->addAction(copyAction_);

    auto* spacer = new QWidget;
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(spacer);
    searchField_ = new QLineEdit;
    searchField_->setObjectName(QStringLiteral("search"));
    searchField_->setPlaceholderText(QStringLiteral("パスで検索"));
    searchField_->setClearButtonEnabled(true);
    searchField_->setMaximumWidth(260);
    connect(searchField_, &QLineEdit::textChanged, this, &LogScreen::setSearchQuery);
    toolbar->addWidget(searchField_);
    return toolbar;
}

// A drop-down of a filter's exclusive choices, "all" checked.
template <class Filter>
QToolButton* LogScreen::buildFilterButton(const QString& objectName, const QString& symbol, const QString& title,
                                          void (HistoryFilterModel::*choose)(Filter))
{
    auto* button = new QToolButton;
    button->setObjectName(objectName);
    button->setIcon(symbolIcon(symbol));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(button);
    menu->addSection(title);
    auto* group = new QActionGroup(menu);
    for (int choice = 0; choice < HistoryFilterModel::choiceCount; ++choice) {
        const auto filter = static_cast<Filter>(choice);
        QAction* action = menu->addAction(HistoryFilterModel::label(filter));
        action->setCheckable(true);
        action->setChecked(filter == Filter{});
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, choose, filter] { (history_.get()->*choose)(filter); });
    }
    button->setMenu(menu);
    return button;
}

QWidget* LogScreen::buildContent()
{
    content_ = new QStackedWidget;
    content_->setObjectName(QStringLiteral("content"));
    content_->insertWidget(noHistoryPage, emptyState(QStringLiteral("履歴がまだありません"),
                                                     QStringLiteral("圧縮 / 解除を実行するとここに記録されます")));
    content_->insertWidget(noMatchPage,
                           emptyState(QStringLiteral("該当する履歴なし"), QStringLiteral("フィルタを変更してください")));
    content_->insertWidget(tablePage, buildTable());
    return content_;
}

QTableView* LogScreen::buildTable()
{
    table_ = new QTableView;
    table_->setObjectName(QStringLiteral("history"));
    auto* look = new HistoryCellLook(table_);
    look->setSourceModel(history_.get());
    table_->setModel(look);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setSortingEnabled(true);
    table_->setTextElideMode(Qt::ElideMiddle);
    table_->setWordWrap(false);
    table_->setShowGrid(false);
    table_->setAlternatingRowColors(true);
    table_->verticalHeader()->hide();
    table_->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* header = table_->horizontalHeader();
    header->setSortIndicator(history_->sortColumn(), history_->sortOrder());
    ColumnWidths::apply(header, columnBounds());
    connect(header, &QHeaderView::sortIndicatorChanged, this, &LogScreen::setSortOrder);
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &LogScreen::takeViewSelection);
    connect(table_, &QWidget::customContextMenuRequested, this, &LogScreen::showContextMenu);
    table_->setItemDelegateForColumn(HistoryModel::detail, new ElideRightDelegate(table_));
    return table_;
}

QWidget* LogScreen::buildFooter()
{
    auto [footer, layout] = page::namedBox(QStringLiteral("footer"), QBoxLayout::LeftToRight, {16, 10, 16, 10}, 12);
    countsLabel_ = footerFigure(QStringLiteral("counts"), page::secondaryColor());
    dotLabel_ = new QLabel(QStringLiteral("·"));
    savedLabel_ = footerFigure(QStringLiteral("saved"), green());
    deleteButton_ = new QPushButton(symbolIcon(QStringLiteral("trash")), QStringLiteral("全削除"));
    deleteButton_->setObjectName(QStringLiteral("deleteAll"));
    deleteButton_->setStyleSheet(QStringLiteral("QPushButton:enabled { color: %1; }").arg(red().name()));
    connect(deleteButton_, &QPushButton::clicked, this, &LogScreen::confirmDeleteAll);
    layout->addWidget(countsLabel_);
    layout->addWidget(dotLabel_);
    layout->addWidget(savedLabel_);
    layout->addStretch();
    layout->addWidget(deleteButton_);
    return footer;
}

void LogScreen::refreshView()
{
    if (records_->rowCount() == 0)
        content_->setCurrentIndex(noHistoryPage);
    else if (history_->rowCount() == 0)
        content_->setCurrentIndex(noMatchPage);
    else
        content_->setCurrentIndex(tablePage);
    refreshChrome();
}

void LogScreen::refreshChrome()
{
    const auto operation = history_->operationFilter();
    const auto result = history_->resultFilter();
    operationButton_->setText(operation == OperationFilter::all
                                  ? QStringLiteral("操作")
                                  : QStringLiteral("操作: ") + HistoryFilterModel::label(operation));
    resultButton_->setText(result == ResultFilter::all ? QStringLiteral("結果")
                                                       : QStringLiteral("結果: ") + HistoryFilterModel::label(result));
    const int shown = history_->rowCount();
    const auto selected = history_->selection().size();
    copyAction_->setEnabled(shown > 0);
    copyAction_->setToolTip(selected == 0 ? QStringLiteral("表示中の %1 件を TSV としてコピー").arg(shown)
                                          : QStringLiteral("選択中の %1 件を TSV としてコピー").arg(selected));
    QString counts = QStringLiteral("履歴: %1 件 / 表示: %2 件").arg(records_->rowCount()).arg(shown);
    if (selected > 0)
        counts += QStringLiteral(" / 選択: %1 件").arg(selected);
    countsLabel_->setText(counts);
    const std::int64_t saved = records_->bytesSaved();
    dotLabel_->setVisible(saved > 0);
    savedLabel_->setVisible(saved > 0);
    savedLabel_->setText(QStringLiteral("累計削減: ") + display::formatBytes(saved));
    deleteButton_->setEnabled(records_->rowCount() > 0);
}

void LogScreen::setSearchQuery(const QString& query)
{
    if (searchField_->text() != query)
        searchField_->setText(query);  // comes back here through textChanged
    else
        history_->setSearchQuery(query);
}

void LogScreen::setSortOrder(int column, Qt::SortOrder order)
{
    history_->sort(column, order);
    // An unsortable column's indicator goes back to the sort in force.
    QSignalBlocker block(table_->horizontalHeader());
    table_->horizontalHeader()->setSortIndicator(history_->sortColumn(), history_->sortOrder());
}

void LogScreen::restoreViewSelection()
{
    syncingSelection_ = true;
    QItemSelection selected;
    const auto* model = table_->model();
    for (int row = 0; row < history_->rowCount(); ++row)
        if (history_->selection().contains(history_->log(row).id()))
            selected.select(model->index(row, 0), model->index(row, HistoryModel::columnCount_ - 1));
    table_->selectionModel()->select(selected, QItemSelectionModel::ClearAndSelect);
    syncingSelection_ = false;
}

LogScreen::Ids LogScreen::viewSelection() const
{
    Ids ids;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        ids.insert(history_->log(index.row()).id());
    return ids;
}

void LogScreen::takeViewSelection()
{
    if (syncingSelection_)
        return;
    syncingSelection_ = true;
    history_->selectShown(viewSelection());
    syncingSelection_ = false;
}

void LogScreen::copyAsTSV(const std::optional<Ids>& ids)
{
    if (const auto text = history_->copyText(ids))
        shell_.setClipboardText(*text);
}

void LogScreen::showContextMenu(const QPoint& position)
{
    const Ids ids = table_->indexAt(position).isValid() ? viewSelection() : Ids{};
    if (ids.empty())
        return;
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("rowMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* copy = menu->addAction(symbolIcon(QStringLiteral("doc.on.doc")),
                                    QStringLiteral("選択行をコピー (%1 件)(&C)").arg(ids.size()));
    connect(copy, &QAction::triggered, this, [this, ids] { copyAsTSV(ids); });
    menu->popup(table_->viewport()->mapToGlobal(position));
}

void LogScreen::confirmDeleteAll()
{
    if (records_->rowCount() == 0)
        return;
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("ログを全削除しますか？"),
                                QStringLiteral("ログを全削除しますか？"), QMessageBox::NoButton, this);
    box->setObjectName(QStringLiteral("confirmClear"));
    box->setInformativeText(
        QStringLiteral("履歴ログ %1 件を全て削除します。実ファイルには影響しません。").arg(records_->rowCount()));
    box->setTextFormat(Qt::PlainText);
    QPushButton* remove = box->addButton(QStringLiteral("削除"), QMessageBox::DestructiveRole);
    remove->setObjectName(QStringLiteral("delete"));
    box->addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole)->setObjectName(QStringLiteral("cancel"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    connect(remove, &QPushButton::clicked, this, &LogScreen::deleteAllLogs);
    box->open();
}

void LogScreen::deleteAllLogs()
{
    const auto failure = records_->deleteAll();
    if (!failure)
        return;
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("履歴ログ"),
                                QStringLiteral("履歴を削除できませんでした。"), QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("deleteFailed"));
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(QStringLiteral("詳細: ") + *failure);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->open();
}

}  // namespace kelvane::ui
