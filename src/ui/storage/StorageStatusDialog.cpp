// SPDX-License-Identifier: MIT
#include "ui/storage/StorageStatusDialog.h"

#include "ui/common/PageParts.h"
#include "ui/common/Symbols.h"
#include "ui/storage/StorageStyle.h"
#include "ui/storage/VolumeDetailView.h"
#include "ui/storage/VolumeListModel.h"
#include "ui/storage/VolumeRowDelegate.h"

#include <QAction>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace kelvane::ui {

using storage_style::TextStyle;

// Where a listing thread hands its result back. The sheet clears `sheet`
// before it goes away; a thread that finishes later finds it empty.
struct StorageStatusDialog::Channel {
    std::mutex mutex;
    StorageStatusDialog* sheet = nullptr;
};

namespace {

QLabel* plainLabel(const QString& text, TextStyle style, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(storage_style::font(style, parent->font()));
    label->setAlignment(Qt::AlignHCenter);
    return label;
}

}  // namespace

StorageStatusDialog::StorageStatusDialog(QWidget* parent)
    : StorageStatusDialog(volumes::systemVolumeLister(), parent)
{
}

StorageStatusDialog::StorageStatusDialog(volumes::VolumeLister lister, QWidget* parent)
    : QDialog(parent), lister_(std::move(lister)), channel_(std::make_shared<Channel>()), model_(new VolumeListModel(this))
{
    channel_->sheet = this;
    QVBoxLayout* root = page::sheetLayout(this, QStringLiteral("ストレージステータス"), {700, 500}, {940, 700}, {}, 0);
    setSizeGripEnabled(true);
    root->addWidget(buildToolbar());

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setChildrenCollapsible(false);
    root->addWidget(splitter, 1);
    splitter->addWidget(buildSidebar());
    detail_ = new QStackedWidget(splitter);
    loadingPage_ = buildLoadingPage();
    detail_->addWidget(loadingPage_);
    unavailablePage_ = buildUnavailablePage();
    detail_->addWidget(unavailablePage_);
    splitter->addWidget(detail_);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({240, 700});

    updateDetail();
}

QToolBar* StorageStatusDialog::buildToolbar()
{
    auto* toolbar = new QToolBar(this);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolbar->setIconSize(QSize(16, 16));
    auto* title = new QLabel(windowTitle(), toolbar);
    title->setFont(storage_style::font(TextStyle::headline, font()));
    title->setContentsMargins(8, 0, 8, 0);
    toolbar->addWidget(title);
    auto* spacer = new QWidget(toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(spacer);
    refreshAction_ = toolbar->addAction(
        QIcon(symbolPixmap(QStringLiteral("arrow.clockwise"), palette().color(QPalette::ButtonText), 16, 2.0)),
        QStringLiteral("更新"));
    connect(refreshAction_, &QAction::triggered, this, &StorageStatusDialog::startRefresh);
    closeButton_ = new QPushButton(QStringLiteral("閉じる"), toolbar);
    closeButton_->setAutoDefault(false);
    connect(closeButton_, &QPushButton::clicked, this, &QDialog::reject);
    // A button's own shortcut clicks it after a short animation; the sheet
    // closes on Escape at once.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QDialog::reject);
    toolbar->addWidget(closeButton_);
    return toolbar;
}

QWidget* StorageStatusDialog::buildSidebar()
{
    auto [sidebar, sidebarLayout] = page::namedBox(QStringLiteral("sidebar"), QBoxLayout::TopToBottom, {8, 8, 0, 8}, 4);
    auto* sidebarTitle = new QLabel(QStringLiteral("ボリューム"), sidebar);
    sidebarTitle->setFont(storage_style::font(TextStyle::caption, font()));
    sidebarTitle->setContentsMargins(6, 0, 0, 0);
    sidebarLayout->addWidget(sidebarTitle);
    list_ = new QListView(sidebar);
    list_->setModel(model_);
    list_->setItemDelegate(new VolumeRowDelegate(model_, list_));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setUniformItemSizes(true);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sidebarLayout->addWidget(list_, 1);
    sidebar->setMinimumWidth(200);
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &StorageStatusDialog::takeListSelection);
    return sidebar;
}

void StorageStatusDialog::takeListSelection()
{
    if (syncingSelection_)
        return;
    const auto rows = list_->selectionModel()->selectedRows();
    std::optional<std::filesystem::path> selected;
    if (!rows.isEmpty())
        selected = model_->volumeAt(rows.front())->url;
    if (selected != selection_) {
        selection_ = selected;
        updateDetail();
    }
}

QWidget* StorageStatusDialog::buildLoadingPage()
{
    auto* loading = new QWidget(detail_);
    auto* layout = new QVBoxLayout(loading);
    layout->addStretch(1);
    auto* busy = new QProgressBar(loading);
    busy->setRange(0, 0);
    busy->setTextVisible(false);
    busy->setFixedWidth(220);
    layout->addWidget(busy, 0, Qt::AlignHCenter);
    QLabel* text = plainLabel(QStringLiteral("ボリューム情報を取得中…"), TextStyle::body, loading);
    text->setObjectName(QStringLiteral("loadingText"));
    layout->addWidget(text);
    layout->addStretch(1);
    return loading;
}

QWidget* StorageStatusDialog::buildUnavailablePage()
{
    auto* unavailable = new QWidget(detail_);
    auto* layout = new QVBoxLayout(unavailable);
    layout->setSpacing(8);
    layout->addStretch(1);
    placeholderSymbolHolder_ = new QWidget(unavailable);
    auto* symbolLayout = new QHBoxLayout(placeholderSymbolHolder_);
    symbolLayout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(placeholderSymbolHolder_, 0, Qt::AlignHCenter);
    placeholderTitle_ = plainLabel(QString(), TextStyle::title3, unavailable);
    placeholderTitle_->setObjectName(QStringLiteral("placeholderTitle"));
    layout->addWidget(placeholderTitle_);
    placeholderDescription_ = plainLabel(QString(), TextStyle::callout, unavailable);
    placeholderDescription_->setObjectName(QStringLiteral("placeholderDescription"));
    placeholderDescription_->setWordWrap(true);
    QPalette palette = placeholderDescription_->palette();
    palette.setColor(QPalette::WindowText, storage_style::secondary(this));
    placeholderDescription_->setPalette(palette);
    layout->addWidget(placeholderDescription_);
    layout->addStretch(1);
    return unavailable;
}

StorageStatusDialog::~StorageStatusDialog()
{
    const std::lock_guard lock(channel_->mutex);
    channel_->sheet = nullptr;
}

const std::vector<volumes::StorageVolume>& StorageStatusDialog::volumes() const
{
    return model_->volumes();
}

const volumes::StorageVolume* StorageStatusDialog::selectedVolume() const
{
    if (!selection_)
        return nullptr;
    const auto row = model_->rowOf(*selection_);
    return row ? &model_->volumes()[static_cast<std::size_t>(*row)] : nullptr;
}

QWidget* StorageStatusDialog::currentDetail() const
{
    return detail_->currentWidget();
}

void StorageStatusDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    startRefresh();
}

void StorageStatusDialog::startRefresh()
{
    if (isLoading_)
        return;
    setLoading(true);
    try {
        std::thread([lister = lister_, channel = channel_] {
            std::vector<volumes::StorageVolume> found = lister();
            const std::lock_guard lock(channel->mutex);
            if (StorageStatusDialog* sheet = channel->sheet) {
                QMetaObject::invokeMethod(
                    sheet, [sheet, found = std::move(found)]() mutable { sheet->finishRefresh(std::move(found)); },
                    Qt::QueuedConnection);
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to list on: the sheet shows what it had.
        finishRefresh(model_->volumes());
    }
}

void StorageStatusDialog::finishRefresh(std::vector<volumes::StorageVolume> volumes)
{
    QWidget* before = detail_->currentWidget();
    applyVolumes(std::move(volumes));
    setLoading(false);
    if (detail_->currentWidget() != before)
        fadeInDetail();
    emit refreshFinished();
}

void StorageStatusDialog::fadeInDetail()
{
    // Ease-in-out over 0.2 s; the effect is removed afterwards so the pane is
    // not drawn through it for good.
    auto* effect = new QGraphicsOpacityEffect(detail_);
    detail_->setGraphicsEffect(effect);
    auto* fade = new QPropertyAnimation(effect, "opacity", effect);
    fade->setDuration(200);
    fade->setEasingCurve(QEasingCurve::InOutQuad);
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    connect(fade, &QPropertyAnimation::finished, detail_, [this] { detail_->setGraphicsEffect(nullptr); });
    fade->start();
}

void StorageStatusDialog::setLoading(bool loading)
{
    isLoading_ = loading;
    refreshAction_->setEnabled(!loading);
    updateDetail();
}

void StorageStatusDialog::applyVolumes(std::vector<volumes::StorageVolume> volumes)
{
    syncingSelection_ = true;
    model_->setVolumes(std::move(volumes));
    syncingSelection_ = false;
    const auto& list = model_->volumes();
    if (!(selection_ && model_->rowOf(*selection_))) {
        const auto root = std::find_if(list.begin(), list.end(), [](const auto& v) { return v.isRoot; });
        if (root != list.end())
            selection_ = root->url;
        else if (!list.empty())
            selection_ = list.front().url;
        else
            selection_.reset();
    }
    syncListSelection();
    updateDetail();
}

void StorageStatusDialog::select(const std::optional<std::filesystem::path>& url)
{
    selection_ = url;
    syncListSelection();
    updateDetail();
}

void StorageStatusDialog::syncListSelection()
{
    syncingSelection_ = true;
    const auto row = selection_ ? model_->rowOf(*selection_) : std::nullopt;
    if (row) {
        const QModelIndex index = model_->index(*row);
        list_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        list_->scrollTo(index);
    } else {
        list_->selectionModel()->clearSelection();
    }
    syncingSelection_ = false;
}

void StorageStatusDialog::updateDetail()
{
    const volumes::StorageVolume* volume = selectedVolume();
    if (volume) {
        if (detailView_ && detailView_->volume().url == volume->url) {
            detailView_->setVolume(*volume);
        } else {
            auto* view = new VolumeDetailView(*volume, detail_);
            detail_->addWidget(view);
            detail_->setCurrentWidget(view);
            if (detailView_)
                detailView_->deleteLater();
            detailView_ = view;
        }
        detail_->setCurrentWidget(detailView_);
        return;
    }
    if (detailView_) {
        detailView_->deleteLater();
        detailView_ = nullptr;
    }
    if (isLoading_) {
        detail_->setCurrentWidget(loadingPage_);
        return;
    }
    const bool empty = model_->rowCount() == 0;
    const QString symbol = empty ? QStringLiteral("exclamationmark.triangle") : QStringLiteral("internaldrive");
    qDeleteAll(placeholderSymbolHolder_->findChildren<SymbolView*>(Qt::FindDirectChildrenOnly));
    placeholderSymbolHolder_->layout()->addWidget(
        new SymbolView(symbol, storage_style::secondary(this), 40, placeholderSymbolHolder_));
    placeholderTitle_->setText(empty ? QStringLiteral("ボリュームを取得できません") : QStringLiteral("ボリュームを選択"));
    placeholderDescription_->setText(empty ? QStringLiteral("マウント済みボリュームが見つかりません")
                                           : QStringLiteral("左の一覧から表示するボリュームを選んでください"));
    detail_->setCurrentWidget(unavailablePage_);
}

}  // namespace kelvane::ui
