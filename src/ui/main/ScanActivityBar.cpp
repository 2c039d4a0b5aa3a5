// SPDX-License-Identifier: MIT
#include "ui/main/ScanActivityBar.h"

#include "ui/common/TextStyles.h"
#include "operations/folders/ScanActivity.h"
#include "operations/folders/ScanActivityTexts.h"
#include "ui/common/ElidedLabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace kelvane::ui {

using operations::ScanActivity;
using operations::ScanActivityTexts;

ScanActivityBar::ScanActivityBar(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("scanActivityBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 6, 12, 6);
    row->setSpacing(12);

    busy_ = new QProgressBar;
    busy_->setRange(0, 0);  // indeterminate
    busy_->setTextVisible(false);
    busy_->setFixedSize(48, 12);
    progress_ = new QProgressBar;
    progress_->setTextVisible(false);
    progress_->setFixedWidth(160);
    phase_ = new ElidedLabel(Qt::ElideMiddle);
    counter_ = new QLabel;
    counter_->setTextFormat(Qt::PlainText);
    setSecondaryText(counter_);
    elapsed_ = new QLabel;
    elapsed_->setTextFormat(Qt::PlainText);
    setSecondaryText(elapsed_);
    cancel_ = new QPushButton(ScanActivityTexts::cancelButtonTitle());
    cancel_->setToolTip(ScanActivityTexts::cancelHelpText());
    connect(cancel_, &QPushButton::clicked, this, [this] {
        if (activity_)
            activity_->cancel();
    });

    row->addWidget(busy_);
    row->addWidget(progress_);
    row->addWidget(phase_, 1);
    row->addWidget(counter_);
    row->addWidget(elapsed_);
    row->addStretch(0);
    row->addWidget(cancel_);

    clock_.setInterval(1000);
    connect(&clock_, &QTimer::timeout, this, &ScanActivityBar::refreshElapsed);
}

void ScanActivityBar::setActivity(std::shared_ptr<ScanActivity> activity)
{
    if (activity_)
        disconnect(activity_.get(), nullptr, this, nullptr);
    activity_ = std::move(activity);
    if (!activity_) {
        clock_.stop();
        return;
    }
    for (auto signal : {&ScanActivity::folderNameChanged, &ScanActivity::folderIndexChanged,
                        &ScanActivity::folderTotalChanged, &ScanActivity::phaseChanged})
        connect(activity_.get(), signal, this, &ScanActivityBar::refresh);
    refresh();
    clock_.start();
}

QString ScanActivityBar::phaseText() const
{
    return activity_ ? ScanActivityTexts::phaseText(*activity_) : QString();
}

QString ScanActivityBar::folderCounterText() const
{
    return activity_ ? ScanActivityTexts::folderCounterText(*activity_) : QString();
}

QString ScanActivityBar::elapsedText() const
{
    return activity_ ? ScanActivityTexts::elapsedText(activity_->startedAt(), ScanActivity::Clock::now()) : QString();
}

void ScanActivityBar::refresh()
{
    if (!activity_)
        return;
    const auto* inspecting = std::get_if<ScanActivity::Inspecting>(&activity_->phase());
    busy_->setVisible(!inspecting);
    progress_->setVisible(inspecting);
    if (inspecting) {
        const long long total = std::max<long long>(inspecting->total, 1);
        // QProgressBar counts in int; large folders are scaled down.
        const int scale = total > 1'000'000'000 ? 1000 : 1;
        progress_->setRange(0, static_cast<int>(total / scale));
        progress_->setValue(static_cast<int>(std::min(inspecting->done, total) / scale));
    }
    phase_->setText(phaseText());
    const QString counter = folderCounterText();
    counter_->setText(counter);
    counter_->setVisible(!counter.isEmpty());
    refreshElapsed();
}

void ScanActivityBar::refreshElapsed() { elapsed_->setText(elapsedText()); }

}  // namespace kelvane::ui
