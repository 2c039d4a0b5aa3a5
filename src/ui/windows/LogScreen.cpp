// SPDX-License-Identifier: MIT
#include "ui/windows/LogScreen.h"

#include "display/Formatters.h"
#include "store/ModelContainer.h"
#include "store/StoreError.h"
#include "ui/common/ColumnWidths.h"
#include "ui/common/Shell.h"
#include "ui/common/Symbols.h"
#include "ui/common/VisibleName.h"
#include "ui/common/WindowGeometry.h"
#include "ui/common/WindowKeys.h"
#include "ui/common/PageParts.h"
#include "ui/windows/HistoryFigures.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QEvent>
#include <QSignalBlocker>
#include <QCollator>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace kelvane::ui {

using store::CompressionLog;

namespace {

const QString emDash = QStringLiteral("\u2014");

QColor green()
{
    return QColor(0x2e, 0x9d, 0x48);
}
QColor red()
{
    return QColor(0xd7, 0x37, 0x2f);
}

bool isCompress(const CompressionLog& log)
{
    return log.operation() == "compress";
}

QString operationText(const CompressionLog& log)
{
    return isCompress(log) ? QStringLiteral("圧縮") : QStringLiteral("解除");
}

QString failureText(const CompressionLog& log)
{
    return log.errorMessage() ? QString::fromStdString(*log.errorMessage()) : QStringLiteral("失敗");
}

QString dateText(const CompressionLog& log)
{
    return display::dateTimeFormatter().string(log.executedAt());
}

// d = before - after, or none when it does not fit.
std::optional<std::int64_t> difference(const CompressionLog& log)
{
    std::int64_t d = 0;
    if (__builtin_sub_overflow(log.sizeBefore(), log.sizeAfter(), &d))
        return std::nullopt;
    return d;
}

QString savedText(const CompressionLog& log)
{
    const auto d = difference(log);
    return display::formatBytes(d ? std::max<std::int64_t>(*d, 0) : 0);
}

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

}  // namespace

// ---------------------------------------------------------------- table model

LogTableModel::LogTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void LogTableModel::setLogs(Logs logs)
{
    beginResetModel();
    logs_ = std::move(logs);
    endResetModel();
}

int LogTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(logs_.size());
}

int LogTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columnCount_;
}

bool LogTableModel::isSortable(int column)
{
    return column != saved && column != result && column != detail;
}

QVariant LogTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const QStringList titles{QStringLiteral("実行日時"), QStringLiteral("操作"),   QStringLiteral("対象"),
                                    QStringLiteral("圧縮前"),   QStringLiteral("圧縮後"), QStringLiteral("削減"),
                                    QStringLiteral("アルゴリズム"), QStringLiteral("所要"), QStringLiteral("結果"),
                                    QStringLiteral("詳細")};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < titles.size())
        return titles[section];
    return {};
}

QVariant LogTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const CompressionLog& log = *logs_[static_cast<std::size_t>(index.row())];
    const bool savedShown = log.sizeBefore() >= 1 && log.success();
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case executedAt: return dateText(log);
        case operation: return operationText(log);
        case target: return visibleName(log.targetPath());
        case sizeBefore: return display::formatBytes(log.sizeBefore());
        case sizeAfter: return display::formatBytes(log.sizeAfter());
        case saved: return savedShown ? savedText(log) : emDash;
        case algorithm: return QString::fromStdString(log.algorithm());
        case duration: return QString::number(log.durationMs()) + QStringLiteral(" ms");
        case result: return {};  // the symbol alone
        case detail: return log.success() ? QString() : failureText(log).replace(u'\n', u' ');
        }
        return {};
    case Qt::DecorationRole:
        if (index.column() == result) {
            static const QIcon succeeded = ui::symbolIcon(u"checkmark.circle.fill", green());
            static const QIcon failed = ui::symbolIcon(u"xmark.circle.fill", red());
            return log.success() ? succeeded : failed;
        }
        return {};
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole:
        switch (index.column()) {
        case target: return visibleName(log.targetPath());
        case result: return log.success() ? QStringLiteral("成功") : failureText(log);
        case detail: return log.errorMessage() ? QString::fromStdString(*log.errorMessage()) : QString();
        }
        return {};
    case Qt::ForegroundRole:
        switch (index.column()) {
        case operation: return isCompress(log) ? page::tintColor() : page::secondaryColor();
        case saved: {
            const auto d = difference(log);
            return savedShown && d && *d >= 1 ? green() : page::secondaryColor();
        }
        case target: return {};
        case result: return log.success() ? green() : red();
        case detail: return red();
        }
        return page::secondaryColor();
    case Qt::TextAlignmentRole:
        switch (index.column()) {
        case sizeBefore:
        case sizeAfter:
        case saved:
        case duration: return int(Qt::AlignRight | Qt::AlignVCenter);
        case result: return int(Qt::AlignCenter);
        }
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return {};
}

// ---------------------------------------------------------------- window

QString LogScreen::label(OperationFilter filter)
{
    switch (filter) {
    case OperationFilter::all: return QStringLiteral("全て");
    case OperationFilter::compress: return QStringLiteral("圧縮");
    case OperationFilter::decompress: return QStringLiteral("解除");
    }
    return {};
}

QString LogScreen::label(ResultFilter filter)
{
    switch (filter) {
    case ResultFilter::all: return QStringLiteral("全て");
    case ResultFilter::success: return QStringLiteral("成功");
    case ResultFilter::failure: return QStringLiteral("失敗");
    }
    return {};
}

LogScreen::LogScreen(std::shared_ptr<store::ModelContainer> container, store::ModelContext& context, Shell& shell,
                     QWidget* parent)
    : QWidget(parent, Qt::Window), container_(std::move(container)), context_(context), shell_(shell)
{
    setWindowTitle(QStringLiteral("履歴ログ"));
    installWindowKeys(this, EscapeKey::closes);
    setMinimumSize(720, 480);
    build();
    WindowGeometry::keep(this, "logWindowGeometry", QSize(960, 640));
    // Saves may come from any thread; the window re-reads on its own.
    QPointer<LogScreen> self(this);
    observerToken_ = container_->addSaveObserver([self](const store::SaveNotification& note) {
        if (!note.touches<CompressionLog>())
            return;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [self] { if (self) self->reload(); }, Qt::QueuedConnection);
    });
    reload();
}

LogScreen::~LogScreen()
{
    container_->removeSaveObserver(observerToken_);
}

void LogScreen::build()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* toolbar = new QToolBar;
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto filterMenu = [&](QToolButton*& button, const QString& symbol, const QString& title, auto cases,
                          auto setter) {
        button = new QToolButton;
        button->setIcon(ui::symbolIcon(symbol));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setPopupMode(QToolButton::InstantPopup);
        auto* menu = new QMenu(button);
        menu->addSection(title);
        auto* group = new QActionGroup(menu);
        for (auto value : cases) {
            QAction* action = menu->addAction(label(value));
            action->setCheckable(true);
            action->setChecked(value == decltype(value){});
            group->addAction(action);
            connect(action, &QAction::triggered, this, [this, setter, value] { (this->*setter)(value); });
        }
        button->setMenu(menu);
        toolbar->addWidget(button);
    };
    filterMenu(operationButton_, QStringLiteral("arrow.triangle.2.circlepath"), QStringLiteral("操作"),
               std::array{OperationFilter::all, OperationFilter::compress, OperationFilter::decompress},
               &LogScreen::setOperationFilter);
    filterMenu(resultButton_, QStringLiteral("checkmark.circle"), QStringLiteral("結果"),
               std::array{ResultFilter::all, ResultFilter::success, ResultFilter::failure},
               &LogScreen::setResultFilter);

    copyAction_ = new QAction(ui::symbolIcon(QStringLiteral("doc.on.doc")), QStringLiteral("コピー"), this);
    copyAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    copyAction_->setShortcutContext(Qt::WindowShortcut);
    connect(copyAction_, &QAction::triggered, this, [this] { copyAsTSV(); });
    addAction(copyAction_);
    toolbar->addAction(copyAction_);
    copyButton_ = qobject_cast<QToolButton*>(toolbar->widgetForAction(copyAction_));

    auto* spacer = new QWidget;
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(spacer);
    searchField_ = new QLineEdit;
    searchField_->setPlaceholderText(QStringLiteral("パスで検索"));
    searchField_->setClearButtonEnabled(true);
    searchField_->setMaximumWidth(260);
    connect(searchField_, &QLineEdit::textChanged, this, &LogScreen::setSearchQuery);
    toolbar->addWidget(searchField_);
    outer->addWidget(toolbar);

    content_ = new QStackedWidget;
    content_->addWidget(emptyState(QStringLiteral("履歴がまだありません"),
                                   QStringLiteral("圧縮 / 解除を実行するとここに記録されます")));
    content_->addWidget(emptyState(QStringLiteral("該当する履歴なし"), QStringLiteral("フィルタを変更してください")));

    model_ = new LogTableModel(this);
    table_ = new QTableView;
    table_->setModel(model_);
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
    header->setSortIndicator(sortColumn_, sortOrder_);
    ColumnWidths::apply(header, {{130, 150, 180}, {50, 60, 80}, {200, 320}, {70, 90, 110}, {70, 90, 110}, {70, 90, 110},
                                 {80, 100, 130}, {60, 80, 100}, {50, 60, 80}, {120, 200}});
    connect(header, &QHeaderView::sortIndicatorChanged, this, [this](int column, Qt::SortOrder order) {
        setSortOrder(column, order);
    });
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &LogScreen::takeViewSelection);
    connect(table_, &QWidget::customContextMenuRequested, this, &LogScreen::showContextMenu);
    table_->setItemDelegateForColumn(LogTableModel::detail, new ElideRightDelegate(table_));
    content_->addWidget(table_);
    outer->addWidget(content_, 1);

    outer->addWidget(page::divider());
    auto* footer = new QWidget;
    auto* footerLayout = new QHBoxLayout(footer);
    footerLayout->setContentsMargins(16, 10, 16, 10);
    footerLayout->setSpacing(12);
    countsLabel_ = new QLabel;
    countsLabel_->setObjectName(QStringLiteral("counts"));
    countsLabel_->setFont(page::font(page::FontRole::callout));
    countsLabel_->setStyleSheet(page::colorCss(page::secondaryColor()));
    dotLabel_ = new QLabel(QStringLiteral("·"));
    savedLabel_ = new QLabel;
    savedLabel_->setObjectName(QStringLiteral("saved"));
    savedLabel_->setFont(page::font(page::FontRole::callout));
    savedLabel_->setStyleSheet(page::colorCss(green()));
    deleteButton_ = new QPushButton(ui::symbolIcon(QStringLiteral("trash")), QStringLiteral("全削除"));
    deleteButton_->setStyleSheet(QStringLiteral("QPushButton:enabled { color: %1; }").arg(red().name()));
    connect(deleteButton_, &QPushButton::clicked, this, &LogScreen::confirmDeleteAll);
    footerLayout->addWidget(countsLabel_);
    footerLayout->addWidget(dotLabel_);
    footerLayout->addWidget(savedLabel_);
    footerLayout->addStretch();
    footerLayout->addWidget(deleteButton_);
    outer->addWidget(footer);
}

void LogScreen::reload()
{
    using Log = CompressionLog::Attributes;
    try {
        logs_ = context_.fetch(store::FetchDescriptor<CompressionLog>(
            std::vector<store::SortDescriptor<CompressionLog>>{{Log::executedAt, store::SortOrder::reverse}}));
    } catch (const store::StoreError&) {
        // The rows shown stay; the next save that touches the history reads again.
        return;
    }
    Ids existing;
    for (const auto& log : logs_)
        existing.insert(log->id());
    std::erase_if(selection_, [&](const store::Uuid& id) { return !existing.contains(id); });
    applyFilters();
}

bool LogScreen::matches(const CompressionLog& log) const
{
    if (operationFilter_ == OperationFilter::compress && log.operation() != "compress")
        return false;
    if (operationFilter_ == OperationFilter::decompress && log.operation() != "decompress")
        return false;
    if (resultFilter_ == ResultFilter::success && !log.success())
        return false;
    if (resultFilter_ == ResultFilter::failure && log.success())
        return false;
    if (searchQuery_.isEmpty())
        return true;
    return QString::fromStdString(log.targetPath()).contains(searchQuery_, Qt::CaseInsensitive);
}

void LogScreen::applyFilters()
{
    LogTableModel::Logs rows;
    for (const auto& log : logs_)
        if (matches(*log))
            rows.push_back(log);

    // Texts in the order of the user's language; without one (the C locale)
    // in that of the interface's.
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::Japanese, QLocale::Japan);
    QCollator collator(locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    auto less = [&](const std::shared_ptr<CompressionLog>& a, const std::shared_ptr<CompressionLog>& b) {
        switch (sortColumn_) {
        case LogTableModel::executedAt: return a->executedAt() < b->executedAt();
        case LogTableModel::operation: return a->operation() < b->operation();
        case LogTableModel::target:
            return collator.compare(QString::fromStdString(a->targetPath()), QString::fromStdString(b->targetPath())) < 0;
        case LogTableModel::sizeBefore: return a->sizeBefore() < b->sizeBefore();
        case LogTableModel::sizeAfter: return a->sizeAfter() < b->sizeAfter();
        case LogTableModel::algorithm:
            return collator.compare(QString::fromStdString(a->algorithm()), QString::fromStdString(b->algorithm())) < 0;
        case LogTableModel::duration: return a->durationMs() < b->durationMs();
        }
        return false;
    };
    if (sortOrder_ == Qt::AscendingOrder)
        std::stable_sort(rows.begin(), rows.end(), less);
    else
        std::stable_sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) { return less(b, a); });

    model_->setLogs(std::move(rows));
    restoreViewSelection();
    refreshView();
}

void LogScreen::refreshView()
{
    if (logs_.empty())
        content_->setCurrentIndex(0);
    else if (model_->logs().empty())
        content_->setCurrentIndex(1);
    else
        content_->setCurrentIndex(2);
    refreshChrome();
    emit contentChanged();
}

void LogScreen::refreshChrome()
{
    operationButton_->setText(operationFilter_ == OperationFilter::all
                                  ? QStringLiteral("操作")
                                  : QStringLiteral("操作: ") + label(operationFilter_));
    resultButton_->setText(resultFilter_ == ResultFilter::all ? QStringLiteral("結果")
                                                              : QStringLiteral("結果: ") + label(resultFilter_));
    const auto shown = model_->logs().size();
    copyAction_->setEnabled(shown > 0);
    copyAction_->setToolTip(selection_.empty()
                                ? QStringLiteral("表示中の %1 件を TSV としてコピー").arg(shown)
                                : QStringLiteral("選択中の %1 件を TSV としてコピー").arg(selection_.size()));
    QString counts = QStringLiteral("履歴: %1 件 / 表示: %2 件").arg(logs_.size()).arg(shown);
    if (!selection_.empty())
        counts += QStringLiteral(" / 選択: %1 件").arg(selection_.size());
    countsLabel_->setText(counts);
    const std::int64_t saved = totalBytesSaved(logs_);
    dotLabel_->setVisible(saved > 0);
    savedLabel_->setVisible(saved > 0);
    savedLabel_->setText(QStringLiteral("累計削減: ") + display::formatBytes(saved));
    deleteButton_->setEnabled(!logs_.empty());
}

void LogScreen::setOperationFilter(OperationFilter filter)
{
    operationFilter_ = filter;
    applyFilters();
}

void LogScreen::setResultFilter(ResultFilter filter)
{
    resultFilter_ = filter;
    applyFilters();
}

void LogScreen::setSearchQuery(const QString& query)
{
    searchQuery_ = query;
    if (searchField_->text() != query)
        searchField_->setText(query);
    applyFilters();
}

void LogScreen::setSortOrder(int column, Qt::SortOrder order)
{
    if (!LogTableModel::isSortable(column)) {
        // Not a sort key: the indicator goes back to the sort in force.
        QSignalBlocker block(table_->horizontalHeader());
        table_->horizontalHeader()->setSortIndicator(sortColumn_, sortOrder_);
        return;
    }
    if (column == sortColumn_ && order == sortOrder_)
        return;
    sortColumn_ = column;
    sortOrder_ = order;
    {
        QSignalBlocker block(table_->horizontalHeader());
        table_->horizontalHeader()->setSortIndicator(column, order);
    }
    applyFilters();
}

void LogScreen::setSelection(const Ids& ids)
{
    selection_ = ids;
    restoreViewSelection();
    refreshChrome();
}

void LogScreen::restoreViewSelection()
{
    restoringSelection_ = true;
    QItemSelection selected;
    const auto& rows = model_->logs();
    for (int row = 0; row < static_cast<int>(rows.size()); ++row)
        if (selection_.contains(rows[static_cast<std::size_t>(row)]->id()))
            selected.select(model_->index(row, 0), model_->index(row, LogTableModel::columnCount_ - 1));
    table_->selectionModel()->select(selected, QItemSelectionModel::ClearAndSelect);
    restoringSelection_ = false;
}

void LogScreen::takeViewSelection()
{
    if (restoringSelection_)
        return;
    // Selected records that the filters hide stay selected.
    const auto& rows = model_->logs();
    for (const auto& log : rows)
        selection_.erase(log->id());
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        selection_.insert(rows[static_cast<std::size_t>(index.row())]->id());
    refreshChrome();
}

QString LogScreen::tsv(const LogTableModel::Logs& rows) const
{
    QStringList lines{QStringLiteral("実行日時\t操作\t対象\t圧縮前\t圧縮後\t削減\tアルゴリズム\t所要(ms)\t結果\t詳細")};
    for (const auto& log : rows) {
        QString detail;
        if (!log->success() && log->errorMessage())
            detail = QString::fromStdString(*log->errorMessage()).replace(u'\n', u' ');
        lines << QStringList{dateText(*log),
                             operationText(*log),
                             QString::fromStdString(log->targetPath()),
                             display::formatBytes(log->sizeBefore()),
                             display::formatBytes(log->sizeAfter()),
                             log->success() ? savedText(*log) : emDash,
                             QString::fromStdString(log->algorithm()),
                             QString::number(log->durationMs()),
                             log->success() ? QStringLiteral("成功") : QStringLiteral("失敗"),
                             detail}
                     .join(u'\t');
    }
    return lines.join(u'\n');
}

void LogScreen::copyAsTSV(const std::optional<Ids>& ids)
{
    const Ids& wanted = ids ? *ids : selection_;
    const bool everything = !ids && selection_.empty();
    LogTableModel::Logs rows;
    for (const auto& log : model_->logs())
        if (everything || wanted.contains(log->id()))
            rows.push_back(log);
    if (rows.empty())
        return;
    shell_.setClipboardText(tsv(rows));
}

void LogScreen::showContextMenu(const QPoint& position)
{
    Ids ids;
    const auto& rows = model_->logs();
    if (table_->indexAt(position).isValid())
        for (const QModelIndex& index : table_->selectionModel()->selectedRows())
            ids.insert(rows[static_cast<std::size_t>(index.row())]->id());
    if (ids.empty())
        return;
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("rowMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* copy = menu->addAction(ui::symbolIcon(QStringLiteral("doc.on.doc")),
                                    QStringLiteral("選択行をコピー (%1 件)").arg(ids.size()));
    connect(copy, &QAction::triggered, this, [this, ids] { copyAsTSV(ids); });
    menu->popup(table_->viewport()->mapToGlobal(position));
}

void LogScreen::confirmDeleteAll()
{
    if (logs_.empty())
        return;
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("ログを全削除しますか？"),
                                QStringLiteral("ログを全削除しますか？"), QMessageBox::NoButton, this);
    box->setObjectName(QStringLiteral("confirmClear"));
    box->setInformativeText(QStringLiteral("履歴ログ %1 件を全て削除します。実ファイルには影響しません。").arg(logs_.size()));
    box->setTextFormat(Qt::PlainText);
    QPushButton* remove = box->addButton(QStringLiteral("削除"), QMessageBox::DestructiveRole);
    box->addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    connect(remove, &QPushButton::clicked, this, &LogScreen::deleteAllLogs);
    box->open();
}

void LogScreen::deleteAllLogs()
{
    try {
        for (const auto& log : logs_)
            context_.remove(log);
        context_.save();
    } catch (const store::StoreError& error) {
        // The store has rolled the deletes back; what is shown stays true.
        context_.rollback();
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("履歴ログ"),
                                    QStringLiteral("履歴を削除できませんでした。"), QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("deleteFailed"));
        box->setTextFormat(Qt::PlainText);
        box->setInformativeText(QStringLiteral("詳細: ") + visibleName(std::string_view(error.what())));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::WindowModal);
        box->open();
    }
    reload();
}

}  // namespace kelvane::ui
