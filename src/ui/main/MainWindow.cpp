// SPDX-License-Identifier: MIT
#include "ui/main/MainWindow.h"

#include "display/RatioDisplayMode.h"
#include "operations/folders/AddItemsFlow.h"
#include "operations/folders/RegisteredItemsQuery.h"
#include "operations/windows/MainWindowModel.h"
#include "platform/qt/Settings.h"
#include "platform/qt/SettingsNotifier.h"
#include "ui/common/DisplayRowTreeModel.h"
#include "ui/common/FirstLaunchAbout.h"
#include "ui/common/ColumnWidths.h"
#include "ui/common/Symbols.h"
#include "ui/common/TextStyles.h"
#include "ui/common/WindowGeometry.h"
#include "ui/common/MenuCommands.h"
#include "ui/common/RowTreeView.h"
#include "ui/common/Shell.h"
#include "ui/common/WindowKeys.h"
#include "ui/main/ActionCell.h"
#include "ui/main/BottomActionBar.h"
#include "ui/main/BulkRunControls.h"
#include "ui/sheets/CloudFolderWarningSheet.h"
#include "ui/main/FilterBar.h"
#include "ui/sheets/FolderRegistrationSheet.h"
#include "ui/main/RowWalks.h"
#include "ui/main/ScanActivityBar.h"
#include "ui/main/StatusDetailPopover.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kelvane::ui {

using operations::ActiveOperation;
using operations::DisplayRow;
using operations::MainWindowModel;

namespace {

// The table's column arrangement (widths, order, hidden columns), as the
// header saves it.
constexpr platform::StringSetting mainTableColumns{"mainTableColumns", ""};

QWidget* makeScreen(const char16_t* symbol, int iconSize, const QString& text, bool large, QPushButton* button, int spacing)
{
    auto* screen = new QWidget;
    auto* column = new QVBoxLayout(screen);
    column->setSpacing(spacing);
    column->addStretch(1);
    auto* picture = new QLabel;
    picture->setPixmap(symbolPixmap(symbol, secondaryColor(picture->palette()), iconSize, 2.0));
    picture->setAlignment(Qt::AlignCenter);
    picture->setProperty("symbol", QString::fromUtf16(symbol));
    auto* label = new QLabel(text);
    label->setObjectName(QStringLiteral("message"));
    label->setAlignment(Qt::AlignCenter);
    setSecondaryText(label);
    if (large) {
        QFont font = label->font();
        font.setPointSizeF(font.pointSizeF() * 1.3);
        label->setFont(font);
    }
    column->addWidget(picture);
    column->addWidget(label);
    column->addWidget(button, 0, Qt::AlignHCenter);
    column->addStretch(1);
    return screen;
}

}  // namespace

MainWindow::MainWindow(MainWindowModel& model, store::ModelContainer& container, Shell& shell,
                       const QString& versionLabel, MainWindowHooks hooks, QWidget* parent)
    : QMainWindow(parent),
      model_(model),
      container_(container),
      shell_(shell),
      hooks_(std::move(hooks)),
      settings_(std::make_unique<platform::Settings>()),
      sheets_(this)
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Kelvane — ") + versionLabel);
    setAcceptDrops(true);
    WindowGeometry::keep(this, "mainWindowGeometry", QSize(1100, 680));

    rowModel_ = new DisplayRowTreeModel(model_.cache(), this);
    rowModel_->setRatioMode(display::RatioDisplayMode::fromSettings(*settings_));
    table_ = new RowTreeView;
    table_->setRowModel(rowModel_);
    table_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table_, &QWidget::customContextMenuRequested, this, &MainWindow::showContextMenu);
    connect(table_, &QAbstractItemView::clicked, this, &MainWindow::tableClicked);
    // The row's own buttons, from the keyboard: on the focused row.
    for (const RowAction kind : {RowAction::compress, RowAction::decompress}) {
        auto* key = new QAction(table_);
        key->setShortcut(rowActionKey(kind));
        key->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        table_->addAction(key);
        connect(key, &QAction::triggered, this, [this, kind] { runRowAction(kind, table_->currentIndex()); });
    }
    installWindowKeys(this, EscapeKey::leftAlone, QuitKey::fromMenu);

    buildToolBar();
    buildScreens();
    restoreColumns();

    commands_ = new MenuCommandReceiver({{MenuCommand::openAddPanel, [this] { presentOpenPanel(); }},
                                         {MenuCommand::openWizard, hooks_.openWizard},
                                         {MenuCommand::openSearch, hooks_.openSearch},
                                         {MenuCommand::refreshAll, [this] { refreshAll(); }},
                                         {MenuCommand::openStorageStatus, hooks_.openStorageStatus},
                                         {MenuCommand::openLogScreen, hooks_.openLogScreen},
                                         {MenuCommand::openAbout, hooks_.openAbout}},
                                        this);

    adding_ = new operations::AddItemsFlow(model_, this);
    connect(adding_, &operations::AddItemsFlow::pendingCloudWarningChanged, this, &MainWindow::cloudWarningChanged);
    connect(adding_, &operations::AddItemsFlow::folderToRegisterChanged, this, &MainWindow::folderToRegisterChanged);

    connect(&model_, &MainWindowModel::itemsChanged, this, &MainWindow::itemsChanged);
    connect(&model_, &MainWindowModel::derivedRowsChanged, this, &MainWindow::derivedRowsChanged);
    connect(&model_, &MainWindowModel::scanActivityChanged, this, &MainWindow::scanActivityChanged);
    connect(&model_, &MainWindowModel::errorMessageChanged, this, &MainWindow::errorMessageChanged);
    // The settings window changes the ratio wording and the reminder while this window is open.
    connect(&platform::SettingsNotifier::instance(), &platform::SettingsNotifier::changed, this,
            [this](const QString& key) {
                namespace keys = platform::settings_keys;
                if (key == QLatin1String(keys::ratioDisplayMode.name))
                    rowModel_->setRatioMode(display::RatioDisplayMode::fromSettings(*settings_));
                if (key == QLatin1String(keys::weeklyReminderEnabled.name) && hooks_.rescheduleReminder)
                    hooks_.rescheduleReminder(settings_->value(keys::weeklyReminderEnabled),
                                              static_cast<std::int64_t>(model_.items().size()));
            });

    // Rows that come into view without any state are inspected, a batch per
    // turn of the event loop.
    inspectTimer_.setSingleShot(true);
    inspectTimer_.setInterval(0);
    connect(&inspectTimer_, &QTimer::timeout, this, &MainWindow::inspectVisibleRows);
    connect(rowModel_, &QAbstractItemModel::modelReset, this, &MainWindow::scheduleVisibleInspection);
    connect(rowModel_, &QAbstractItemModel::dataChanged, this, &MainWindow::scheduleVisibleInspection);
    connect(table_, &QTreeView::expanded, this, &MainWindow::scheduleVisibleInspection);
    connect(table_->verticalScrollBar(), &QScrollBar::valueChanged, this, &MainWindow::scheduleVisibleInspection);

    query_ = new operations::RegisteredItemsQuery(container_, model_, this);
    itemsChanged();
    if (model_.hasDerivedRows())
        derivedRowsChanged();
    updateScreen();
}

MainWindow::~MainWindow()
{
    if (itemsLoad_)
        itemsLoad_->cancel();
}

QKeySequence MainWindow::rowActionKey(RowAction action)
{
    switch (action) {
    case RowAction::compress: return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C);
    case RowAction::decompress: return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D);
    case RowAction::mount: break;
    }
    return {};
}

// --- layout -------------------------------------------------------------------

void MainWindow::buildToolBar()
{
    auto* bar = addToolBar(QStringLiteral("ツールバー"));
    bar->setObjectName(QStringLiteral("toolbar"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->toggleViewAction()->setVisible(false);

    filterBar_ = new FilterBar(model_);
    bar->addWidget(filterBar_);
    auto* spring = new QWidget;
    spring->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(spring);

    auto addButton = [&](const QString& name, const char16_t* symbol, const QString& help, std::function<void()> action) {
        if (!action)
            return;
        QAction* a = bar->addAction(symbolIcon(symbol), name);
        a->setToolTip(help);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, [action = std::move(action)] { action(); });
    };
    addButton(QStringLiteral("追加"), u"plus", QStringLiteral("ファイル / フォルダを登録（Ctrl+O）"),
              [this] { presentOpenPanel(); });
    addButton(QStringLiteral("ウィザード"), u"wand.and.stars", QStringLiteral("おすすめのフォルダから登録（Ctrl+Shift+W）"),
              hooks_.openWizard);
    bar->addSeparator();
    addButton(QStringLiteral("検索"), u"magnifyingglass", QStringLiteral("条件でファイルを発掘して登録（Ctrl+F）"),
              hooks_.openSearch);
    addButton(QStringLiteral("更新"), u"arrow.clockwise", QStringLiteral("全項目を再スキャン（Ctrl+R）"),
              [this] { refreshAll(); });

    search_ = new QLineEdit;
    search_->setObjectName(QStringLiteral("searchField"));
    search_->setPlaceholderText(QStringLiteral("名前で検索"));
    search_->setClearButtonEnabled(true);
    search_->setFixedWidth(200);
    bar->addWidget(search_);
    connect(search_, &QLineEdit::textChanged, this,
            [this](const QString& text) { model_.setSearchQuery(text.toStdString()); });
    // Clearing the filters also clears the field.
    connect(&model_, &MainWindowModel::filtersChanged, this, [this] {
        const QString query = QString::fromStdString(model_.searchQuery());
        if (search_->text() != query)
            search_->setText(query);
    });
}

void MainWindow::buildScreens()
{
    auto* choose = new QPushButton(QStringLiteral("ファイル / フォルダを選択…"));
    choose->setObjectName(QStringLiteral("chooseItems"));
    choose->setDefault(true);
    connect(choose, &QPushButton::clicked, this, &MainWindow::presentOpenPanel);
    startScreen_ = makeScreen(u"doc.text.magnifyingglass", 64, QStringLiteral("ファイル / フォルダをドラッグして追加"), true, choose, 16);
    startScreen_->setObjectName(QStringLiteral("startScreen"));

    auto* clear = new QPushButton(QStringLiteral("フィルタをクリア"));
    clear->setObjectName(QStringLiteral("clearFilters"));
    connect(clear, &QPushButton::clicked, filterBar_, &FilterBar::clearAllFilters);
    noMatchScreen_ = makeScreen(u"line.3.horizontal.decrease.circle", 48, QStringLiteral("該当する登録項目がありません"), false, clear, 12);
    noMatchScreen_->setObjectName(QStringLiteral("noMatchScreen"));

    screens_ = new QStackedWidget;
    screens_->addWidget(startScreen_);
    screens_->addWidget(noMatchScreen_);
    screens_->addWidget(table_);

    scanBar_ = new ScanActivityBar;
    scanBar_->hide();

    auto* central = new QWidget;
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(screens_, 1);
    column->addWidget(scanBar_);
    bulkRuns_ = new BulkRunControls(model_, *table_, *rowModel_, sheets_, this, hooks_.openLogScreen);
    column->addWidget(bulkRuns_->bar());
    setCentralWidget(central);
}

QWidget* MainWindow::currentScreen() const { return screens_->currentWidget(); }

void MainWindow::updateScreen()
{
    if (model_.items().empty())
        screens_->setCurrentWidget(startScreen_);
    else if (model_.hasDerivedRows() && model_.displayedRows().empty())
        screens_->setCurrentWidget(noMatchScreen_);
    else
        screens_->setCurrentWidget(table_);
}

// --- columns --------------------------------------------------------------------

void MainWindow::restoreColumns()
{
    QHeaderView* header = table_->header();
    restoringColumns_ = true;
    std::vector<ColumnWidth> bounds;
    for (int c = 0; c < mainColumnCount; ++c) {
        const auto column = static_cast<MainColumn>(c);
        bounds.push_back(column == MainColumn::action
                             ? ActionCell::columnBounds(table_->font())
                             : ColumnWidth{TableCells::minimumWidth(column), TableCells::idealWidth(column),
                                           TableCells::maximumWidth(column)});
        header->resizeSection(c, bounds.back().ideal);
        header->setSectionHidden(c, TableCells::hiddenByDefault(column));
    }
    header->setMinimumSectionSize(40);
    const QByteArray saved = QByteArray::fromBase64(settings_->value(mainTableColumns).toLatin1());
    if (!saved.isEmpty())
        header->restoreState(saved);
    for (const MainColumn fixed : {MainColumn::name, MainColumn::action})
        header->setSectionHidden(static_cast<int>(fixed), false);
    // The sort order is not kept: every window starts by name, ascending.
    header->setSortIndicator(static_cast<int>(MainColumn::name), Qt::AscendingOrder);
    columnWidths_ = ColumnWidths::apply(header, std::move(bounds), true);
    restoringColumns_ = false;

    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, this, &MainWindow::showHeaderMenu);
    // Only what the user arranges is kept, not the widths fitted to the window.
    connect(columnWidths_, &ColumnWidths::resizedByUser, this, &MainWindow::saveColumns);
    connect(header, &QHeaderView::sectionMoved, this, &MainWindow::saveColumns);
    connect(header, &QHeaderView::sortIndicatorChanged, this, &MainWindow::applySortIndicator);
}

void MainWindow::saveColumns()
{
    if (restoringColumns_)
        return;
    settings_->setValue(mainTableColumns, QString::fromLatin1(columnWidths_->saveState().toBase64()));
}

void MainWindow::showHeaderMenu(const QPoint& at)
{
    QHeaderView* header = table_->header();
    QMenu menu(this);
    for (int c = 0; c < mainColumnCount; ++c) {
        const auto column = static_cast<MainColumn>(c);
        if (column == MainColumn::action)
            continue;
        QAction* action = menu.addAction(TableCells::columnTitle(column));
        action->setCheckable(true);
        action->setChecked(!header->isSectionHidden(c));
        action->setEnabled(TableCells::canHide(column));
        connect(action, &QAction::toggled, this, [this, column](bool shown) { setColumnShown(column, shown); });
    }
    menu.exec(header->mapToGlobal(at));
}

void MainWindow::setColumnShown(MainColumn column, bool shown)
{
    if (!TableCells::canHide(column))
        return;
    table_->header()->setSectionHidden(static_cast<int>(column), !shown);
    columnWidths_->refit();
    saveColumns();
}

void MainWindow::applySortIndicator(int section, Qt::SortOrder order)
{
    const auto column = static_cast<MainColumn>(section);
    if (!TableCells::sortable(column)) {
        // Not sortable: the indicator goes back to the current sort.
        const auto& current = model_.sortOrder();
        const int back = current.empty() ? 0 : static_cast<int>(current.front().key);
        const Qt::SortOrder backOrder = !current.empty() && current.front().order ==
                                                                  operations::DisplayRowComparator::Order::reverse
                                            ? Qt::DescendingOrder
                                            : Qt::AscendingOrder;
        QSignalBlocker block(table_->header());
        table_->header()->setSortIndicator(back, backOrder);
        return;
    }
    // The columns up to "最終更新" are in the order of the sort keys.
    model_.setSortOrder({{static_cast<operations::DisplayRowComparator::Key>(section),
                          order == Qt::AscendingOrder ? operations::DisplayRowComparator::Order::forward
                                                      : operations::DisplayRowComparator::Order::reverse}});
}

// --- state from the model -----------------------------------------------------------

void MainWindow::itemsChanged()
{
    updateScreen();
    const std::optional<operations::TaskHandle> load = model_.reloadIfItemsChanged();
    if (!load)
        return;
    itemsLoad_ = *load;
    itemsLoad_->onFinished([self = QPointer<MainWindow>(this)] {
        if (self && self->hooks_.itemsLoaded)
            self->hooks_.itemsLoaded(static_cast<int>(self->model_.items().size()));
    });
}

void MainWindow::derivedRowsChanged()
{
    rowModel_->setRows(model_.displayedRows());
    updateScreen();
}

void MainWindow::scanActivityChanged()
{
    scanBar_->setActivity(model_.scanActivity());
    scanBar_->setVisible(model_.scanActivity() != nullptr);
}

void MainWindow::errorMessageChanged()
{
    const auto& message = model_.errorMessage();
    if (!message) {
        if (errorAlert_)
            errorAlert_->close();
        return;
    }
    if (!errorAlert_) {
        errorAlert_ = new QMessageBox(QMessageBox::Warning, QStringLiteral("エラー"), QString(), QMessageBox::Ok, this);
        errorAlert_->setObjectName(QStringLiteral("errorAlert"));
        errorAlert_->setTextFormat(Qt::PlainText);
        errorAlert_->setWindowModality(Qt::WindowModal);
        errorAlert_->setAttribute(Qt::WA_DeleteOnClose);
        connect(errorAlert_, &QMessageBox::finished, this, [this] { model_.setErrorMessage(std::nullopt); });
        errorAlert_->setText(QString::fromStdString(*message));
        errorAlert_->open();
        return;
    }
    errorAlert_->setText(QString::fromStdString(*message));
}

// --- adding items -----------------------------------------------------------------

void MainWindow::presentOpenPanel()
{
    shell_.pickFilesAndFolders(this, QStringLiteral("登録するファイル / フォルダを選択"),
                               [self = QPointer<MainWindow>(this)](Shell::Paths paths) {
                                   if (self)
                                       self->handleSelectedURLs(paths);
                               });
}

void MainWindow::handleSelectedURLs(const std::vector<std::filesystem::path>& urls) { adding_->handleSelectedURLs(urls); }

void MainWindow::cloudWarningChanged()
{
    const auto& warning = adding_->pendingCloudWarning();
    if (!warning)
        return;
    auto* sheet = new CloudFolderWarningSheet(warning->url, warning->service, this);
    const auto id = warning->id;
    sheets_.present(sheet, [this, sheet, id] {
        // Only the answer to the warning on screen counts.
        if (!adding_->pendingCloudWarning() || adding_->pendingCloudWarning()->id != id)
            return;
        if (sheet->result() == QDialog::Accepted)
            adding_->continueAfterCloudWarning();
        else
            adding_->cancelCloudWarning();
    });
}

void MainWindow::folderToRegisterChanged()
{
    const auto& folder = adding_->folderToRegister();
    if (!folder)
        return;
    auto* sheet = new FolderRegistrationSheet(*folder, model_.modelContext(), this);
    sheets_.present(sheet, [this] { adding_->finishFolderRegistration(); });
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    std::vector<std::filesystem::path> urls;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            urls.emplace_back(url.toLocalFile().toStdString());
    // Accepted even when nothing usable came with it.
    event->acceptProposedAction();
    handleSelectedURLs(urls);
}

// --- refreshing -------------------------------------------------------------------

void MainWindow::refreshAll() { model_.refreshAll(); }

void MainWindow::refreshSelection(const std::set<operations::RowId>& ids)
{
    std::vector<DisplayRow> targets = RowWalks::refreshTargets(model_.displayedRows(), ids);
    if (!targets.empty())
        model_.refreshSelection(targets);
}

void MainWindow::scheduleVisibleInspection()
{
    if (!inspectTimer_.isActive())
        inspectTimer_.start();
}

void MainWindow::inspectVisibleRows()
{
    if (screens_->currentWidget() != table_ || !table_->isVisible())
        return;
    std::vector<DisplayRow> rows;
    const int bottom = table_->viewport()->height();
    for (QModelIndex index = table_->indexAt(QPoint(1, 1)); index.isValid(); index = table_->indexBelow(index)) {
        if (table_->visualRect(index).top() > bottom)
            break;
        // Also the files of a folder whose own inspection has not reached
        // them yet; an item whose bookmark did not resolve is then shown as
        // missing rather than spinning for ever.
        if (const DisplayRow* row = rowModel_->row(index))
            rows.push_back(*row);
    }
    model_.inspectUninspected(std::move(rows));
}

// --- the table's actions ---------------------------------------------------------------

void MainWindow::removeSelectedRegistrations(const std::set<operations::RowId>& ids)
{
    // Only a registered row names an item; a folder's files are not registrations.
    std::vector<operations::ItemId> items;
    for (const DisplayRow& row : RowWalks::selectedRows(model_.displayedRows(), ids))
        if (row.registeredItemID)
            items.push_back(*row.registeredItemID);
    model_.removeRegistrations(items);
    table_->clearSelection();
}

void MainWindow::openItems(const std::vector<std::filesystem::path>& urls)
{
    for (const auto& url : urls)
        shell_.openFile(url);
}

void MainWindow::revealItems(const std::vector<std::filesystem::path>& urls)
{
    std::vector<std::filesystem::path> onDisk;
    for (const auto& url : urls)
        if (!RowWalks::isUnresolved(url))
            onDisk.push_back(url);
    if (!onDisk.empty())
        shell_.showInFileManager(onDisk);
}

void MainWindow::runRowAction(RowAction action, const QModelIndex& index)
{
    const DisplayRow* row = rowModel_->row(index);
    if (!row)
        return;
    const auto buttons = ActionCell::buttons(*row, rowModel_->entry(*row));
    if (std::any_of(buttons.begin(), buttons.end(), [action](const ActionButton& b) { return b.kind == action; }))
        ActionCell::perform(model_, action, DisplayRow(*row));
}

QMenu* MainWindow::makeContextMenu(const std::set<operations::RowId>& ids)
{
    if (ids.empty())
        return nullptr;
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("rowContextMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setToolTipsVisible(true);
    // One row: its "操作" buttons first, with the keys that run them.
    if (ids.size() == 1) {
        const QModelIndex index = rowModel_->indexOfId(*ids.begin(), 0);
        if (const DisplayRow* row = rowModel_->row(index)) {
            const auto buttons = ActionCell::buttons(*row, rowModel_->entry(*row));
            for (const ActionButton& button : buttons) {
                const auto [mnemonic, name] = button.kind == RowAction::compress     ? std::pair{"(&C)", "rowCompress"}
                                              : button.kind == RowAction::decompress ? std::pair{"(&U)", "rowDecompress"}
                                                                                     : std::pair{"(&M)", "rowMount"};
                QAction* action = menu->addAction(button.title + QString::fromLatin1(mnemonic));
                action->setObjectName(QString::fromLatin1(name));
                action->setToolTip(button.toolTip);
                action->setShortcut(rowActionKey(button.kind));
                action->setShortcutVisibleInContextMenu(true);
                connect(action, &QAction::triggered, this,
                        [this, kind = button.kind, id = row->id] { runRowAction(kind, rowModel_->indexOfId(id, 0)); });
            }
            if (!buttons.empty())
                menu->addSeparator();
        }
    }
    const std::vector<std::filesystem::path> urls = RowWalks::selectedURLs(model_.displayedRows(), ids);
    if (!urls.empty()) {
        QAction* open = menu->addAction(symbolIcon(u"arrow.up.forward.app"), QStringLiteral("開く(&O)"));
        open->setObjectName(QStringLiteral("openItems"));
        connect(open, &QAction::triggered, this, [this, urls] { openItems(urls); });
        QAction* reveal = menu->addAction(symbolIcon(u"folder"), QStringLiteral("ファイルマネージャで表示(&F)"));
        reveal->setObjectName(QStringLiteral("revealItems"));
        connect(reveal, &QAction::triggered, this, [this, urls] { revealItems(urls); });
        if (hooks_.askAbout && urls.size() == 1) {
            QAction* ask = menu->addAction(QStringLiteral("ローカル AI に聞く(&A)"));
            ask->setObjectName(QStringLiteral("askAbout"));
            connect(ask, &QAction::triggered, this, [this, url = urls.front()] { hooks_.askAbout(url); });
        }
        menu->addSeparator();
    }
    QAction* refresh = menu->addAction(symbolIcon(u"arrow.clockwise"), QStringLiteral("最新の状態を取得(&R)"));
    refresh->setObjectName(QStringLiteral("refreshSelection"));
    refresh->setToolTip(QStringLiteral("選択した項目を再 inspect します。フォルダの場合は配下を再列挙して状態を更新します。"));
    connect(refresh, &QAction::triggered, this, [this, ids] { refreshSelection(ids); });
    menu->addSeparator();
    QAction* remove = menu->addAction(QStringLiteral("登録から削除(&D)"));
    remove->setObjectName(QStringLiteral("removeRegistrations"));
    connect(remove, &QAction::triggered, this, [this, ids] { removeSelectedRegistrations(ids); });
    return menu;
}

void MainWindow::showContextMenu(const QPoint& at)
{
    const QModelIndex clicked = table_->indexAt(at);
    const DisplayRow* row = rowModel_->row(clicked);
    if (!row)
        return;
    std::set<operations::RowId> ids;
    const std::vector<operations::RowId> selected = table_->selectedIds();
    if (std::find(selected.begin(), selected.end(), row->id) != selected.end())
        ids.insert(selected.begin(), selected.end());
    else
        ids.insert(row->id);
    if (QMenu* menu = makeContextMenu(ids))
        menu->popup(table_->viewport()->mapToGlobal(at));
}

void MainWindow::tableClicked(const QModelIndex& index)
{
    if (static_cast<MainColumn>(index.column()) != MainColumn::status)
        return;
    if (const DisplayRow* row = rowModel_->row(index))
        showStatusDetail(row->id);
}

void MainWindow::showStatusDetail(const operations::RowId& rowId)
{
    const QModelIndex index = rowModel_->indexOfId(rowId, static_cast<int>(MainColumn::status));
    const DisplayRow* row = rowModel_->row(index);
    if (!row)
        return;
    const auto detail = TableCells::statusDetail(*row, rowModel_->entry(*row), model_.mountRefusal(*row));
    if (!detail)
        return;
    if (popover_)
        popover_->close();
    const DisplayRow target = *row;
    auto* popover = new StatusDetailPopover(
        *detail, target.url, [this, url = target.url] { revealItems({url}); },
        [this, target, kind = detail->kind] {
            if (kind == StatusDetail::Kind::unserved)
                model_.serveAgain(target);
            else
                model_.retryInspection(target);
        },
        this);
    popover_ = popover;
    table_->scrollTo(index);
    popover->showAt(table_->viewport(), table_->visualRect(index));
}

// --- window events ---------------------------------------------------------------------

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    scheduleVisibleInspection();
    if (shownOnce_)
        return;
    shownOnce_ = true;
    model_.pruneLogs();
    // The first launch opens About once, when there is an About to open.
    if (hooks_.openAbout && takeFirstLaunchAbout(*settings_))
        hooks_.openAbout();
}

void MainWindow::changeEvent(QEvent* event)
{
    // The ratio wording is a setting the settings window may have changed.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        rowModel_->setRatioMode(display::RatioDisplayMode::fromSettings(*settings_));
    QMainWindow::changeEvent(event);
}

}  // namespace kelvane::ui
