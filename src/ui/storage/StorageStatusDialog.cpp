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

#include <utility>

namespace kelvane::ui {

using storage_style::TextStyle;

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
    : QDialog(parent),
      state_(new operations::StorageStatusModel(std::move(lister), this)),
      model_(new VolumeListModel(this))
{
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

    connect(state_, &operations::StorageStatusModel::volumesChanged, this, &StorageStatusDialog::showVolumes);
    connect(state_, &operations::StorageStatusModel::selectionChanged, this, [this] {
        syncListSelection();
        updateDetail();
    });
    connect(state_, &operations::StorageStatusModel::loadingChanged, this, &StorageStatusDialog::showLoading);
    connect(state_, &operations::StorageStatusModel::refreshFinished, this, [this] {
        if (detail_->currentWidget() != pageBeforeList_)
            fadeInDetail();
    });
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
    connect(refreshAction_, &QAction::triggered, state_, &operations::StorageStatusModel::startRefresh);
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
    state_->select(selected);
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

QWidget* StorageStatusDialog::currentDetail() const
{
    return detail_->currentWidget();
}

void StorageStatusDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    state_->startRefresh();
}

void StorageStatusDialog::showVolumes()
{
    pageBeforeList_ = detail_->currentWidget();
    syncingSelection_ = true;
    model_->setVolumes(state_->volumes());
    syncingSelection_ = false;
}

void StorageStatusDialog::showLoading()
{
    refreshAction_->setEnabled(!state_->isLoading());
    updateDetail();
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

void StorageStatusDialog::syncListSelection()
{
    syncingSelection_ = true;
    const auto& selection = state_->selection();
    const auto row = selection ? model_->rowOf(*selection) : std::nullopt;
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
    const volumes::StorageVolume* volume = state_->selectedVolume();
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
    if (state_->isLoading()) {
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
