// SPDX-License-Identifier: MIT
#include "ui/sheets/WizardSheet.h"

#include "ui/common/TextStyles.h"
#include "operations/sheets/WizardPresetScanModel.h"
#include "operations/sheets/WizardSheetModel.h"
#include "ui/common/Symbols.h"
#include "ui/sheets/SheetWidgets.h"
#include "ui/sheets/WizardPresetDetailView.h"
#include "ui/sheets/WizardPresetRow.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace kelvane::ui::sheets {

namespace {
constexpr int kToastSymbolSide = 16;
}  // namespace

using operations::WizardSheetModel;

WizardSheet::WizardSheet(std::unique_ptr<WizardSheetModel> model, QWidget* parent)
    : QDialog(parent), model_(std::move(model))
{
    setUpSheet(this, QStringLiteral("容量解放ウィザード"), {720, 540}, {820, 640});

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    pages_ = new QStackedWidget(this);
    outer->addWidget(pages_);

    root_ = new QWidget(pages_);
    auto* rootLayout = new QVBoxLayout(root_);
    rootLayout->setContentsMargins(0, 0, 0, 0);
    rootLayout->setSpacing(0);
    QLabel* title = plainLabel(QStringLiteral("容量解放ウィザード"), root_);
    setRelativeFontSize(title, 3, true);
    auto* close = sheetButton(QStringLiteral("閉じる"), root_, "closeButton");
    rootLayout->addLayout(spreadRow({title}, {close}, {12, 8, 12, 8}));
    rootLayout->addWidget(horizontalDivider(root_));

    // The toast stands above the list, so it is seen wherever the list is
    // scrolled to when a row's registration reports.
    rootLayout->addWidget(buildToast());
    rootLayout->addWidget(buildPresetList(), 1);
    pages_->addWidget(root_);

    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(model_.get(), &WizardSheetModel::presetSizesChanged, this, &WizardSheet::showRows);
    connect(model_.get(), &WizardSheetModel::registeredIDsChanged, this, &WizardSheet::showRows);
    connect(model_.get(), &WizardSheetModel::toastChanged, this, &WizardSheet::showToast);
    connect(model_.get(), &WizardSheetModel::navigationPathChanged, this, &WizardSheet::showNavigation);
    showRows();
    showToast();
}

WizardSheet::~WizardSheet() = default;

QWidget* WizardSheet::buildToast()
{
    toastBox_ = new QFrame(root_);
    auto* toastLayout = new QHBoxLayout(toastBox_);
    toastLayout->setContentsMargins(20, 8, 20, 8);
    toastSymbol_ = new QLabel(toastBox_);
    toastSymbol_->setObjectName("toastSymbol");
    toastSymbol_->setFixedSize(kToastSymbolSide, kToastSymbolSide);
    toastLayout->addWidget(toastSymbol_, 0, Qt::AlignTop);
    toast_ = plainLabel({}, toastBox_);
    toast_->setObjectName("toast");
    toast_->setWordWrap(true);
    toastLayout->addWidget(toast_);
    return toastBox_;
}

QWidget* WizardSheet::buildPresetList()
{
    auto* scroll = new QScrollArea(root_);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* list = new QWidget(scroll);
    auto* listLayout = new QVBoxLayout(list);
    listLayout->setContentsMargins(20, 12, 20, 12);
    listLayout->setSpacing(10);
    QLabel* intro = plainLabel(QStringLiteral("容量を取りがちな場所をまとめました。\n"
                                              "再生成しやすい / 安全に圧縮できるパスから順に登録するのがおすすめです。"),
                               list);
    setSecondaryText(intro);
    listLayout->addWidget(intro);

    QLabel* header = plainLabel(QStringLiteral("プリセット"), list);
    setRelativeFontSize(header, 0, true);
    setSecondaryText(header);
    listLayout->addWidget(header);
    for (const auto& preset : model_->presets()) {
        WizardSheetModel* sheetModel = model_.get();
        auto* row = new WizardPresetRow(
            preset, [sheetModel, preset] { sheetModel->registerAllPreset(preset); },
            [sheetModel, preset] { sheetModel->inspect(preset); }, list);
        row->setFrameShape(QFrame::StyledPanel);
        rows_.push_back(row);
        listLayout->addWidget(row);
    }
    listLayout->addStretch(1);
    scroll->setWidget(list);
    return scroll;
}

void WizardSheet::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Not when the system shows a restored window again.
    if (!event->spontaneous() && pages_->currentWidget() == root_)
        model_->measurePresetSizes();
}

void WizardSheet::showRows()
{
    for (WizardPresetRow* row : rows_) {
        const std::string& id = row->preset().id;
        row->update(model_->sizeOf(id), model_->registeredIDs().contains(id));
    }
}

void WizardSheet::showToast()
{
    const auto& toast = model_->toast();
    toastBox_->setVisible(toast.has_value());
    if (!toast)
        return;
    const bool success = toast->style == WizardSheetModel::Toast::Style::success;
    const QString symbol = success ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("exclamationmark.triangle.fill");
    const QColor& color = success ? kGreen : kOrange;
    toastSymbol_->setPixmap(symbolPixmap(symbol, color, kToastSymbolSide, devicePixelRatioF()));
    toastSymbol_->setProperty("symbol", symbol);
    toast_->setText(toast->message);
    setTextColor(toast_, color);
}

void WizardSheet::showNavigation()
{
    const auto& path = model_->navigationPath();
    if (path.empty()) {
        if (detail_) {
            pages_->removeWidget(detail_);
            // It may be the one calling us (its registration returned here).
            detail_->hide();
            detail_->deleteLater();
            detail_ = nullptr;
        }
        pages_->setCurrentWidget(root_);
        showRows();
        model_->measurePresetSizes();
        return;
    }
    const auto preset = path.back();
    QPointer<WizardSheetModel> sheetModel(model_.get());
    auto scan = std::make_unique<operations::WizardPresetScanModel>(
        preset, model_->context(), [sheetModel, preset](const WizardSheetModel::DetailRegistration& outcome) {
            if (sheetModel)
                sheetModel->announceRegistered(outcome, preset);
        });
    if (detail_) {
        pages_->removeWidget(detail_);
        detail_->hide();
        detail_->deleteLater();
    }
    detail_ = new WizardPresetDetailView(std::move(scan), pages_);
    connect(detail_, &WizardPresetDetailView::backRequested, model_.get(), &WizardSheetModel::popDetail);
    pages_->addWidget(detail_);
    pages_->setCurrentWidget(detail_);
}

}  // namespace kelvane::ui::sheets
