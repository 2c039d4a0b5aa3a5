// SPDX-License-Identifier: MIT
#include "ui/sheets/AskAISheet.h"

#include "ui/common/TextStyles.h"
#include "ui/common/ElidedLabel.h"
#include "ui/common/Symbols.h"
#include "ui/common/VisibleName.h"

#include "operations/sheets/AskAIModel.h"
#include "ui/sheets/SheetWidgets.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>

namespace kelvane::ui::sheets {

using Kind = operations::AskAIModel::Phase::Kind;

AskAISheet::AskAISheet(std::unique_ptr<operations::AskAIModel> model, QWidget* parent)
    : QDialog(parent), model_(std::move(model))
{
    setUpSheet(this, QStringLiteral("ローカル AI に聞く"), {560, 460}, {680, 560});
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(20, 20, 20, 20);
    outer->setSpacing(16);
    outer->addLayout(buildHeader());
    outer->addWidget(horizontalDivider(this));
    outer->addWidget(buildConversation(), 1);
    outer->addWidget(horizontalDivider(this));
    outer->addLayout(buildButtons());
    connect(model_.get(), &operations::AskAIModel::phaseChanged, this, &AskAISheet::refresh);
    connect(model_.get(), &operations::AskAIModel::streamedAnswerChanged, this, &AskAISheet::refresh);
    refresh();
}

// The file's name and folder.
QLayout* AskAISheet::buildHeader()
{
    auto* icon = new QLabel(this);
    icon->setPixmap(symbolPixmap(u"sparkles.rectangle.stack.fill", palette().color(QPalette::Highlight), 36, 2.0));
    auto* name = stretchingElidedLabel(Qt::ElideMiddle, this);
    name->setObjectName("fileName");
    name->setText(visibleName(model_->url().filename()));
    setRelativeFontSize(name, 3, true);
    auto* folder = stretchingElidedLabel(Qt::ElideMiddle, this);
    folder->setObjectName("fileFolder");
    folder->setText(visibleName(model_->url().parent_path()));
    folder->setToolTip(folder->text());
    setRelativeFontSize(folder, -1);
    setSecondaryText(folder);
    return symbolHeader(icon, {}, {name, folder});
}

// The question as sent and the answer, scrolling together.
QWidget* AskAISheet::buildConversation()
{
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* content = new QWidget(scroll);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 4, 0, 4);
    column->setSpacing(12);

    auto* question = new QVBoxLayout;
    question->setSpacing(4);
    question->addWidget(caption(QStringLiteral("質問"), content));
    prompt_ = selectableLabel({}, content);
    prompt_->setObjectName("prompt");
    prompt_->setMargin(8);
    prompt_->setAutoFillBackground(true);
    setSecondaryText(prompt_);
    QPalette promptPalette = prompt_->palette();
    promptPalette.setColor(QPalette::Window, promptPalette.color(QPalette::AlternateBase));
    prompt_->setPalette(promptPalette);
    question->addWidget(prompt_);
    column->addLayout(question);

    auto* answerPane = new QVBoxLayout;
    answerPane->setSpacing(6);
    answerPane->addWidget(caption(QStringLiteral("ローカル AI"), content));
    answerPane->addWidget(buildErrorView(content));
    progressRow_ = busyRow(QStringLiteral("回答を生成中…"), content, {0, 0, 0, 0}, 6).row;
    progressRow_->setObjectName("progressRow");
    answerPane->addWidget(progressRow_);
    answer_ = selectableLabel({}, content);
    answer_->setObjectName("answer");
    answerPane->addWidget(answer_);
    column->addLayout(answerPane);
    column->addStretch(1);
    scroll->setWidget(content);
    return scroll;
}

QWidget* AskAISheet::buildErrorView(QWidget* content)
{
    errorView_ = new QWidget(content);
    auto* layout = new QVBoxLayout(errorView_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    errorTitle_ = plainLabel({}, errorView_);
    errorTitle_->setObjectName("errorTitle");
    errorText_ = selectableLabel({}, errorView_);
    errorText_->setObjectName("errorText");
    setRelativeFontSize(errorText_, -1);
    setSecondaryText(errorText_);
    layout->addWidget(errorTitle_);
    layout->addWidget(errorText_);
    return errorView_;
}

QLayout* AskAISheet::buildButtons()
{
    cancel_ = sheetButton(QStringLiteral("キャンセル"), this, "cancelButton");
    retry_ = sheetButton(QStringLiteral("もう一度聞く"), this, "retryButton", symbolIcon(u"arrow.clockwise"));
    auto* close = sheetButton(QStringLiteral("閉じる"), this, "closeButton");
    connect(cancel_, &QPushButton::clicked, model_.get(), &operations::AskAIModel::cancelStream);
    connect(retry_, &QPushButton::clicked, model_.get(), &operations::AskAIModel::retry);
    // Escape rejects the dialog as well.
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    return spreadRow({cancel_, retry_}, {close}, {0, 0, 0, 0});
}

AskAISheet::~AskAISheet() = default;

void AskAISheet::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A window restored from the task bar is shown again by the system
    // (spontaneously): the question was asked when the sheet opened.
    if (!event->spontaneous() && !model_->hasStream())
        model_->ask();
}

void AskAISheet::done(int result)
{
    model_->cancelStream();
    QDialog::done(result);
}

void AskAISheet::refresh()
{
    const auto& phase = model_->phase();
    const QString& answer = model_->streamedAnswer();
    prompt_->setText(model_->buildPrompt());

    const bool isError = phase.kind == Kind::unavailable || phase.kind == Kind::failed;
    errorView_->setVisible(isError);
    if (phase.kind == Kind::unavailable) {
        errorTitle_->setText(QStringLiteral("⚠ ローカル AI が利用できません"));
        setTextColor(errorTitle_, kOrange);
    } else if (phase.kind == Kind::failed) {
        errorTitle_->setText(QStringLiteral("⚠ 回答取得に失敗"));
        setTextColor(errorTitle_, kRed);
    }
    errorText_->setText(isError ? phase.text : QString());

    const bool waiting = (phase.kind == Kind::idle || phase.kind == Kind::streaming) && answer.isEmpty();
    progressRow_->setVisible(waiting);
    const bool showAnswer = phase.kind == Kind::done ||
                            ((phase.kind == Kind::idle || phase.kind == Kind::streaming) && !answer.isEmpty());
    answer_->setVisible(showAnswer);
    answer_->setText(showAnswer ? answer : QString());

    cancel_->setVisible(phase.kind == Kind::streaming);
    retry_->setVisible(phase.kind == Kind::done && !answer.isEmpty());
}

}  // namespace kelvane::ui::sheets
