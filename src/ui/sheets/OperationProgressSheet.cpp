// SPDX-License-Identifier: MIT
#include "ui/sheets/OperationProgressSheet.h"

#include "display/Formatters.h"
#include "operations/bulk/MemoryMonitor.h"
#include "ui/common/ElidedLabel.h"
#include "ui/common/RowCellDelegate.h"
#include "ui/common/VisibleName.h"
#include "ui/sheets/ProgressTexts.h"
#include "ui/common/Spinner.h"
#include "ui/common/TextStyles.h"
#include "ui/common/Symbols.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelvane::ui {

using operations::OperationProgress;

namespace {

enum class TextStyle { headline, subheadline, caption, callout, title };

QFont styledFont(const QFont& base, TextStyle style)
{
    QFont font = base;
    const qreal size = base.pointSizeF() > 0 ? base.pointSizeF() : 10.0;
    switch (style) {
    case TextStyle::headline:
        font.setPointSizeF(size * 1.1);
        font.setBold(true);
        break;
    case TextStyle::subheadline: font.setPointSizeF(size * 0.95); break;
    case TextStyle::caption: font.setPointSizeF(size * 0.85); break;
    case TextStyle::callout: font.setPointSizeF(size); break;
    case TextStyle::title:
        font.setPointSizeF(size * 1.7);
        font.setBold(true);
        break;
    }
    return font;
}

QLabel* label(const QString& text, TextStyle style, const QFont& base, const char* name = nullptr)
{
    auto* l = new QLabel(text);
    l->setTextFormat(Qt::PlainText);
    // Figures here change while they are watched; see monospacedDigitsFont.
    l->setFont(monospacedDigitsFont(styledFont(base, style)));
    if (name)
        l->setObjectName(QString::fromLatin1(name));
    return l;
}

// A layout on `widget`, flush with its edges.
template <class Layout>
Layout* flushLayout(QWidget* widget, int spacing)
{
    auto* layout = new Layout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}


// A colour of its own, or the secondary style.
void setTone(QLabel* l, const std::optional<QColor>& color)
{
    // Only a real change touches the palette (a palette change repaints).
    const QVariant tone = color ? QVariant(*color) : QVariant(QStringLiteral("secondary"));
    if (l->property("tone") == tone)
        return;
    l->setProperty("tone", tone);
    if (!color) {
        l->setPalette(QPalette());
        setSecondaryText(l);
        return;
    }
    QPalette palette = l->palette();
    palette.setColor(QPalette::WindowText, *color);
    l->setPalette(palette);
    l->setForegroundRole(QPalette::WindowText);
}

// A rounded, tinted box: the colour at 8 % behind, at 25 % around; its
// content laid out in `direction`, `padding` from the edge.
QFrame* tintedBox(const char* name, const QColor& color, int radius, QBoxLayout::Direction direction, int padding,
                  int spacing)
{
    auto* box = new QFrame;
    auto* layout = new QBoxLayout(direction, box);
    layout->setContentsMargins(padding, padding, padding, padding);
    layout->setSpacing(spacing);
    box->setObjectName(QString::fromLatin1(name));
    const auto rgba = [&](double alpha) {
        return QStringLiteral("rgba(%1, %2, %3, %4)").arg(color.red()).arg(color.green()).arg(color.blue()).arg(alpha);
    };
    box->setStyleSheet(QStringLiteral("QFrame#%1 { background: %2; border: 1px solid %3; border-radius: %4px; }")
                           .arg(QString::fromLatin1(name), rgba(0.08), rgba(0.25))
                           .arg(radius));
    return box;
}

// A label cell of the statistics: the symbol, then the title; both carry the tooltip.
QWidget* gridLabel(const char16_t* symbol, const QString& title, const QString& toolTip, const QFont& base)
{
    auto* cell = new QWidget;
    auto* row = flushLayout<QHBoxLayout>(cell, 4);
    row->addWidget(symbolLabel(symbol, secondaryColor(cell->palette()), 12));
    QLabel* l = label(title, TextStyle::caption, base);
    setSecondaryText(l);
    row->addWidget(l);
    cell->setToolTip(toolTip);
    return cell;
}

QLabel* gridValue(const char* name, const QFont& base)
{
    QLabel* l = label(QString(), TextStyle::caption, base, name);
    setSecondaryText(l);
    return l;
}

}  // namespace

OperationProgressSheet::OperationProgressSheet(std::shared_ptr<OperationProgress> progress, bool offersHistory,
                                               QWidget* parent)
    : QDialog(parent),
      progress_(std::move(progress)),
      installedMemory_(operations::MemoryMonitor::physicalMemoryBytes()),
      anchor_(Clock::now())
{
    QElapsedTimer sinceBuilt;
    sinceBuilt.start();
    monotonic_ = [sinceBuilt] { return std::chrono::nanoseconds(sinceBuilt.nsecsElapsed()); };
    setObjectName(QStringLiteral("operationProgressSheet"));
    setWindowTitle(ProgressTexts::operationWord(progress_->kind()));
    build(offersHistory);

    // Every change of the run is drawn; its start, cancellation and end at
    // once, the figures a few times a second.
    const QMetaObject* meta = progress_->metaObject();
    const QMetaMethod schedule = metaObject()->method(metaObject()->indexOfSlot("scheduleRefresh()"));
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i)
        if (const QMetaProperty property = meta->property(i); property.hasNotifySignal())
            connect(progress_.get(), property.notifySignal(), this, schedule);
    for (const auto signal : {&OperationProgress::completedAtChanged, &OperationProgress::taskChanged,
                              &OperationProgress::wasCancelledChanged})
        connect(progress_.get(), signal, this, &OperationProgressSheet::scheduleRefreshNow);
    changeRedraw_.setParent(this);
    changeRedraw_.setObjectName(QStringLiteral("changeRedraw"));
    changeRedraw_.setSingleShot(true);
    connect(&changeRedraw_, &QTimer::timeout, this, &OperationProgressSheet::refresh);
    // A child, so a test can find the clock's tick by name and hold it still.
    tick_.setParent(this);
    tick_.setObjectName(QStringLiteral("clockTick"));
    tick_.setInterval(1000);
    tick_.setTimerType(Qt::PreciseTimer);
    connect(&tick_, &QTimer::timeout, this, &OperationProgressSheet::refresh);
    tick_.start();
    refresh();
}

OperationProgressSheet::~OperationProgressSheet() = default;

QSize OperationProgressSheet::sizeHint() const
{
    // The ideal width; what is longer wraps or is shortened.
    QSize size = QDialog::sizeHint();
    size.setWidth(520);
    return size;
}

OperationProgressSheet::Clock::time_point OperationProgressSheet::now() const
{
    return anchor_ + std::chrono::duration_cast<Clock::duration>(monotonic_());
}

void OperationProgressSheet::setMonotonicClock(std::function<std::chrono::nanoseconds()> sinceBuilt)
{
    monotonic_ = std::move(sinceBuilt);
    lastRefresh_ = monotonic_();
}

void OperationProgressSheet::build(bool offersHistory)
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(24, 24, 24, 24);
    root->setSpacing(18);
    setMinimumWidth(480);
    root->addLayout(buildHeader());
    resultCard_ = buildResultCard();
    root->addWidget(resultCard_);
    oversizeNotice_ = buildOversizeNotice();
    root->addWidget(oversizeNotice_);
    root->addWidget(buildProgressBox());
    root->addLayout(buildStatistics());
    safetyNotes_ = buildSafetyNotes();
    root->addWidget(safetyNotes_);
    root->addLayout(buildButtons(offersHistory));
}

// The spinner or the status symbol, the title, the file or the counts.
QLayout* OperationProgressSheet::buildHeader()
{
    const QFont base = font();
    auto* header = new QHBoxLayout;
    header->setSpacing(14);
    spinner_ = new Spinner;
    statusSymbol_ = new QLabel;
    statusSymbol_->setObjectName(QStringLiteral("statusSymbol"));
    statusSymbol_->setFixedSize(32, 32);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    title_ = label(QString(), TextStyle::headline, base, "title");
    fileName_ = new ElidedLabel(Qt::ElideMiddle);
    fileName_->setObjectName(QStringLiteral("fileName"));
    fileName_->setFont(styledFont(base, TextStyle::subheadline));
    fileName_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setSecondaryText(fileName_);
    counts_ = label(QString(), TextStyle::subheadline, base, "counts");
    counts_->setWordWrap(true);
    setSecondaryText(counts_);
    titles->addWidget(title_);
    titles->addWidget(fileName_);
    titles->addWidget(counts_);
    header->addWidget(spinner_, 0, Qt::AlignVCenter);
    header->addWidget(statusSymbol_, 0, Qt::AlignTop);
    header->addLayout(titles, 1);
    return header;
}

// The progress bar with its counts line.
QWidget* OperationProgressSheet::buildProgressBox()
{
    const QFont base = font();
    progressBox_ = new QWidget;
    auto* progressColumn = flushLayout<QVBoxLayout>(progressBox_, 4);
    progressBar_ = new QProgressBar;
    progressBar_->setObjectName(QStringLiteral("progressBar"));
    progressBar_->setRange(0, 1000);
    progressBar_->setTextVisible(false);
    auto* progressLine = new QHBoxLayout;
    progressCounts_ = label(QString(), TextStyle::caption, base, "progressCounts");
    savedDot_ = label(QStringLiteral("·"), TextStyle::caption, base);
    progressSaved_ = label(QString(), TextStyle::caption, base, "progressSaved");
    failedDot_ = label(QStringLiteral("·"), TextStyle::caption, base);
    progressFailed_ = label(QString(), TextStyle::caption, base, "progressFailed");
    for (QLabel* l : {progressCounts_, savedDot_, progressSaved_, failedDot_})
        setSecondaryText(l);
    setTone(progressFailed_, ProgressTexts::red());
    for (QLabel* l : {progressCounts_, savedDot_, progressSaved_, failedDot_, progressFailed_})
        progressLine->addWidget(l);
    progressLine->addStretch(1);
    progressColumn->addWidget(progressBar_);
    progressColumn->addLayout(progressLine);
    return progressBox_;
}

QLayout* OperationProgressSheet::buildStatistics()
{
    const QFont base = font();
    grid_ = new QGridLayout;
    grid_->setHorizontalSpacing(18);
    grid_->setVerticalSpacing(6);
    elapsed_ = gridValue("elapsed", base);
    remaining_ = gridValue("remaining", base);
    speed_ = gridValue("speed", base);
    concurrency_ = gridValue("concurrency", base);
    processed_ = gridValue("processed", base);
    memoryUse_ = gridValue("memoryUse", base);
    memoryAvailable_ = gridValue("memoryAvailable", base);
    grid_->addWidget(gridLabel(u"clock", QStringLiteral("経過"), QStringLiteral("処理を開始してからの経過時間"), base), 0, 0);
    grid_->addWidget(elapsed_, 0, 1);
    grid_->addWidget(gridLabel(u"hourglass", QStringLiteral("残り"),
                               QStringLiteral("これまでの処理速度から推定した残り時間。処理開始直後は計測中と表示されます。"),
                               base),
                     0, 2);
    grid_->addWidget(remaining_, 0, 3);
    grid_->addWidget(
        gridLabel(u"speedometer", QStringLiteral("速度"),
                  QStringLiteral("1 秒あたりに処理しているバイト数。スキップしたファイルは計算から除外されるため、"
                                 "実際の圧縮速度を反映します。"),
                  base),
        1, 0);
    grid_->addWidget(speed_, 1, 1);
    grid_->addWidget(gridLabel(u"rectangle.split.3x1", QStringLiteral("並列度"),
                               QStringLiteral("同時に処理しているファイル数。最大 8 並列で、件数が少ない場合はその数までに制限されます。"),
                               base),
                     1, 2);
    grid_->addWidget(concurrency_, 1, 3);
    processedLabel_ =
        gridLabel(u"tray.full", QStringLiteral("処理量"), QStringLiteral("これまでに処理したバイト数 / 対象全体のバイト数"), base);
    grid_->addWidget(processedLabel_, 2, 0);
    grid_->addWidget(processed_, 2, 1, 1, 3);
    memoryUseLabel_ = gridLabel(u"memorychip", QStringLiteral("メモリ使用"),
                                QStringLiteral("自プロセスの現在の物理メモリ使用量 / 操作中の最大値。16 MiB 以上のファイルは"
                                               "ストリーミング処理のため消費はほぼ一定です。"),
                                base);
    grid_->addWidget(memoryUseLabel_, 3, 0);
    grid_->addWidget(memoryUse_, 3, 1, 1, 3);
    memoryAvailableLabel_ = gridLabel(u"memorychip.fill", QStringLiteral("メモリ空き"),
                                      QStringLiteral("システム全体の空きメモリ（free + speculative + purgeable）/ 搭載メモリ。"
                                                     "空きが減りすぎているとスワップが発生して動作が重くなります。"),
                                      base);
    grid_->addWidget(memoryAvailableLabel_, 4, 0);
    grid_->addWidget(memoryAvailable_, 4, 1, 1, 3);
    grid_->setColumnStretch(3, 1);
    return grid_;
}

// Cancel while running; history and close once finished.
QLayout* OperationProgressSheet::buildButtons(bool offersHistory)
{
    auto* buttons = new QHBoxLayout;
    history_ = new QPushButton(QStringLiteral("履歴を見る"));
    history_->setAutoDefault(false);
    history_->setObjectName(QStringLiteral("historyButton"));
    history_->setVisible(false);
    cancel_ = new QPushButton(QStringLiteral("キャンセル"));
    cancel_->setAutoDefault(false);
    cancel_->setObjectName(QStringLiteral("cancelButton"));
    close_ = new QPushButton(QStringLiteral("閉じる"));
    close_->setAutoDefault(false);
    close_->setObjectName(QStringLiteral("closeButton"));
    buttons->addWidget(history_);
    buttons->addStretch(1);
    buttons->addWidget(cancel_);
    buttons->addWidget(close_);
    if (!offersHistory)
        history_->setProperty("unavailable", true);

    connect(cancel_, &QPushButton::clicked, this, [this] { progress_->cancel(); });
    connect(close_, &QPushButton::clicked, this, &OperationProgressSheet::closeRequested);
    connect(history_, &QPushButton::clicked, this, &OperationProgressSheet::showLogRequested);
    return buttons;
}

QFrame* OperationProgressSheet::buildResultCard()
{
    const QFont base = font();
    QFrame* card = tintedBox("resultCard", ProgressTexts::green(), 10, QBoxLayout::TopToBottom, 12, 10);
    auto* column = static_cast<QBoxLayout*>(card->layout());

    auto* savings = new QWidget;
    savings->setObjectName(QStringLiteral("savingsLine"));
    auto* savingsRow = flushLayout<QHBoxLayout>(savings, 8);
    savingsSymbol_ = new QLabel;
    savingsSymbol_->setObjectName(QStringLiteral("savingsSymbol"));
    savingsSymbol_->setFixedSize(22, 22);
    savedBytes_ = label(QString(), TextStyle::title, base, "savedBytes");
    setTone(savedBytes_, ProgressTexts::green());
    QLabel* reduced = label(QStringLiteral("削減"), TextStyle::subheadline, base);
    setSecondaryText(reduced);
    percentDot_ = label(QStringLiteral("·"), TextStyle::subheadline, base);
    setSecondaryText(percentDot_);
    savedPercent_ = label(QString(), TextStyle::subheadline, base, "savedPercent");
    QFont medium = savedPercent_->font();
    medium.setWeight(QFont::Medium);
    savedPercent_->setFont(medium);
    setTone(savedPercent_, ProgressTexts::green());
    savingsRow->addWidget(savingsSymbol_, 0, Qt::AlignVCenter);
    savingsRow->addWidget(savedBytes_, 0, Qt::AlignBaseline);
    savingsRow->addWidget(reduced, 0, Qt::AlignBaseline);
    savingsRow->addWidget(percentDot_, 0, Qt::AlignBaseline);
    savingsRow->addWidget(savedPercent_, 0, Qt::AlignBaseline);
    savingsRow->addStretch(1);
    column->addWidget(savings);

    sizeLine_ = new QWidget;
    sizeLine_->setObjectName(QStringLiteral("sizeLine"));
    auto* sizeRow = flushLayout<QHBoxLayout>(sizeLine_, 6);
    sizeBefore_ = label(QString(), TextStyle::caption, base, "sizeBefore");
    QFont struck = sizeBefore_->font();
    struck.setStrikeOut(true);
    sizeBefore_->setFont(struck);
    setSecondaryText(sizeBefore_);
    QLabel* arrow = symbolLabel(u"arrow.right", secondaryColor(palette()), 12);
    sizeAfter_ = label(QString(), TextStyle::caption, base, "sizeAfter");
    sizeRow->addWidget(sizeBefore_);
    sizeRow->addWidget(arrow);
    sizeRow->addWidget(sizeAfter_);
    sizeRow->addStretch(1);
    column->addWidget(sizeLine_);

    praise_ = label(QString(), TextStyle::callout, base, "praise");
    praise_->setWordWrap(true);
    column->addWidget(praise_);
    return card;
}

QFrame* OperationProgressSheet::buildOversizeNotice()
{
    const QFont base = font();
    QFrame* notice = tintedBox("oversizeNotice", ProgressTexts::orange(), 8, QBoxLayout::LeftToRight, 10, 10);
    auto* row = static_cast<QBoxLayout*>(notice->layout());
    row->addWidget(symbolLabel(u"exclamationmark.triangle.fill", ProgressTexts::orange(), 16), 0, Qt::AlignTop);
    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    oversizeHeadline_ = label(QString(), TextStyle::callout, base, "oversizeHeadline");
    QFont medium = oversizeHeadline_->font();
    medium.setWeight(QFont::Medium);
    oversizeHeadline_->setFont(medium);
    oversizeHeadline_->setWordWrap(true);
    oversizeTotal_ = label(QString(), TextStyle::caption, base, "oversizeTotal");
    setSecondaryText(oversizeTotal_);
    QLabel* reason = label(ProgressTexts::oversizeReason(), TextStyle::caption, base, "oversizeReason");
    reason->setWordWrap(true);
    setSecondaryText(reason);
    column->addWidget(oversizeHeadline_);
    column->addWidget(oversizeTotal_);
    column->addWidget(reason);
    row->addLayout(column, 1);
    return notice;
}

QWidget* OperationProgressSheet::buildSafetyNotes()
{
    const QFont base = font();
    auto* box = new QWidget;
    box->setObjectName(QStringLiteral("safetyNotes"));
    auto* column = flushLayout<QVBoxLayout>(box, 12);
    auto* divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    column->addWidget(divider);

    auto* notes = new QVBoxLayout;
    notes->setSpacing(4);
    const auto note = [&](const char16_t* symbol, const QColor& color, const QString& text) {
        auto* row = new QHBoxLayout;
        row->setSpacing(6);
        row->addWidget(symbolLabel(symbol, color, 14), 0, Qt::AlignTop);
        QLabel* l = label(text, TextStyle::caption, base);  // short lines, broken where the text says
        setSecondaryText(l);
        row->addWidget(l, 1);
        notes->addLayout(row);
    };
    const QColor secondary = secondaryColor(palette());
    note(u"checkmark.shield.fill", ProgressTexts::green(),
         QStringLiteral("rename 経由のアトミック差し替え + SHA-256 往復検証で動作中。\n"
                        "クラッシュやキャンセルが発生しても元ファイルは保護されます。"));
    note(u"moon.zzz", secondary, QStringLiteral("処理中はマシンのスリープを抑制しています。"));
    column->addLayout(notes);

    auto* interruption = new QVBoxLayout;
    interruption->setSpacing(2);
    for (const QString& text :
         {QStringLiteral("いつでも中断できます"),
          QStringLiteral("中断しても圧縮済みのファイルはそのまま残り、残りは「圧縮」ボタンから後で続けられます。")}) {
        QLabel* l = label(text, TextStyle::caption, base);
        l->setWordWrap(true);
        setSecondaryText(l);
        interruption->addWidget(l);
    }
    column->addLayout(interruption);
    return box;
}

// --- refreshing ---------------------------------------------------------------------

void OperationProgressSheet::scheduleRefresh()
{
    if (refreshPending_ || changeRedraw_.isActive())
        return;
    const auto since = monotonic_() - lastRefresh_;
    // A finished run no longer competes with the sheet for the main thread.
    if (since >= changeInterval || progress_->isFinished()) {
        scheduleRefreshNow();
        return;
    }
    changeRedraw_.start(std::chrono::ceil<std::chrono::milliseconds>(changeInterval - since));
}

void OperationProgressSheet::scheduleRefreshNow()
{
    if (refreshPending_)
        return;
    refreshPending_ = true;
    QMetaObject::invokeMethod(this, [this] {
        if (refreshPending_)
            refresh();
    }, Qt::QueuedConnection);
}

void OperationProgressSheet::refresh()
{
    // Whatever asked for a redraw is drawn now.
    refreshPending_ = false;
    changeRedraw_.stop();
    lastRefresh_ = monotonic_();
    ++refreshCount_;
    const OperationProgress& p = *progress_;
    const bool finished = p.isFinished();
    refreshHeader(p, finished);
    refreshResultCard(p, finished);
    refreshOversizeNotice(p);
    refreshProgressBox(p, finished);
    refreshStatistics(p, now());
    refreshButtons(p, finished);
    fitShape();
}

void OperationProgressSheet::refreshHeader(const OperationProgress& p, bool finished)
{
    spinner_->setVisible(!finished && p.total() < 2);
    statusSymbol_->setVisible(finished);
    if (finished) {
        statusSymbol_->setPixmap(
            symbolPixmap(ProgressTexts::finishedSymbol(p), ProgressTexts::finishedColor(p), 28, 2.0));
        statusSymbol_->setProperty("symbol", ProgressTexts::finishedSymbol(p));
        title_->setText(ProgressTexts::finishedTitle(p));
        counts_->setText(ProgressTexts::countsLine(p));
    } else {
        title_->setText(ProgressTexts::runningTitle(p));
        fileName_->setText(visibleName(p.currentFileName()));
    }
    fileName_->setVisible(!finished && !p.currentFileName().empty());
    counts_->setVisible(finished);
}

void OperationProgressSheet::refreshResultCard(const OperationProgress& p, bool finished)
{
    const std::int64_t saved = p.bytesSavedSoFar();
    const std::int64_t processed = ProgressTexts::processedNotSkipped(p);
    resultCard_->setVisible(finished && saved >= 1);
    if (!finished || saved < 1)
        return;
    const QString symbol = ProgressTexts::savingsSymbol(saved);
    savingsSymbol_->setPixmap(symbolPixmap(symbol, ProgressTexts::green(), 22, 2.0));
    savingsSymbol_->setProperty("symbol", symbol);
    savedBytes_->setText(display::formatBytes(saved));
    resultCard_->findChild<QWidget*>(QStringLiteral("savingsLine"))->setToolTip(display::formatExactBytes(saved));
    const auto percent = ProgressTexts::savedPercent(saved, processed);
    percentDot_->setVisible(percent.has_value());
    savedPercent_->setVisible(percent.has_value());
    if (percent)
        savedPercent_->setText(QStringLiteral("%1% 縮小").arg(*percent));
    sizeLine_->setVisible(processed >= 1);
    sizeBefore_->setText(display::formatBytes(processed));
    sizeAfter_->setText(display::formatBytes(std::max<std::int64_t>(processed - saved, 0)));
    const bool clean = !p.wasCancelled() && p.failures().empty();
    praise_->setVisible(clean);
    praise_->setText(clean ? ProgressTexts::savingsMessage(saved) : QString());
}

// Files over 2 GB, running or finished.
void OperationProgressSheet::refreshOversizeNotice(const OperationProgress& p)
{
    oversizeNotice_->setVisible(p.sizeSkippedCount() >= 1);
    oversizeHeadline_->setText(ProgressTexts::oversizeHeadline(p.sizeSkippedCount()));
    oversizeTotal_->setVisible(p.sizeSkippedBytes() >= 1);
    oversizeTotal_->setText(ProgressTexts::oversizeTotal(p.sizeSkippedBytes()));
}

void OperationProgressSheet::refreshProgressBox(const OperationProgress& p, bool finished)
{
    progressBox_->setVisible(!finished && p.total() > 1);
    const std::int64_t saved = p.bytesSavedSoFar();
    const double fraction = p.total() < 1 ? 0.0 : static_cast<double>(p.current()) / p.total();
    progressBar_->setValue(static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 1000));
    progressCounts_->setText(QStringLiteral("%1 / %2").arg(p.current()).arg(p.total()));
    savedDot_->setVisible(saved >= 1);
    progressSaved_->setVisible(saved >= 1);
    progressSaved_->setText(QStringLiteral("削減 ") + display::formatBytes(saved));
    failedDot_->setVisible(!p.failures().empty());
    progressFailed_->setVisible(!p.failures().empty());
    progressFailed_->setText(QStringLiteral("失敗 %1").arg(p.failures().size()));
}

void OperationProgressSheet::refreshStatistics(const OperationProgress& p, Clock::time_point at)
{
    const Clock::time_point end = p.completedAt().value_or(at);
    elapsed_->setText(ProgressTexts::formatDuration(std::chrono::duration<double>(end - p.startedAt()).count()));
    remaining_->setText(ProgressTexts::remainingText(p.estimatedRemainingSeconds(at)));
    speed_->setText(ProgressTexts::speedText(p.bytesPerSecond(at)));
    concurrency_->setText(QString::number(p.concurrency()));
    processedLabel_->setVisible(p.totalBytes() >= 1);
    processed_->setVisible(p.totalBytes() >= 1);
    processed_->setText(ProgressTexts::processedText(p));
    const bool memory = p.currentMemoryBytes() != 0 || p.peakMemoryBytes() != 0;
    for (QWidget* w : {memoryUseLabel_, static_cast<QWidget*>(memoryUse_), memoryAvailableLabel_,
                       static_cast<QWidget*>(memoryAvailable_)})
        w->setVisible(memory);
    memoryUse_->setText(ProgressTexts::memoryUseText(p));
    setTone(memoryUse_, ProgressTexts::memoryUsageColor(p.peakMemoryBytes(), installedMemory_));
    memoryAvailable_->setText(ProgressTexts::memoryAvailableText(p, installedMemory_));
    setTone(memoryAvailable_, ProgressTexts::memoryAvailableColor(p.systemAvailableMemoryBytes(), installedMemory_));
}

void OperationProgressSheet::refreshButtons(const OperationProgress& p, bool finished)
{
    safetyNotes_->setVisible(!finished);
    cancel_->setVisible(!finished);
    cancel_->setEnabled(p.task().has_value());
    close_->setVisible(finished);
    history_->setVisible(finished && !history_->property("unavailable").toBool());
    if (finished && !close_->isDefault()) {
        close_->setDefault(true);
        close_->setFocus();
    }
}

void OperationProgressSheet::fitShape()
{
    int shape = 0;
    for (QWidget* w : {static_cast<QWidget*>(resultCard_), static_cast<QWidget*>(oversizeNotice_), progressBox_,
                       processedLabel_, memoryUseLabel_, safetyNotes_, static_cast<QWidget*>(fileName_)})
        shape = shape * 2 + (w->isVisibleTo(this) ? 1 : 0);
    if (shape != shape_) {
        shape_ = shape;
        fitHeight();
    }
}

void OperationProgressSheet::fitHeight()
{
    // The height the content needs at the sheet's width, wrapped lines included.
    const int w = isVisible() ? width() : sizeHint().width();
    QLayout* root = layout();
    root->activate();
    const int h = root->hasHeightForWidth() ? root->totalHeightForWidth(w) : root->totalSizeHint().height();
    resize(w, std::max(h, root->totalMinimumSize().height()));
}

void OperationProgressSheet::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    fitHeight();
}

// --- closing ------------------------------------------------------------------------

// Escape: a run is cancelled (its sheet stays until it has wound down); the
// result closes, as its button does.
void OperationProgressSheet::reject()
{
    if (progress_->isFinished())
        emit closeRequested();
    else if (progress_->task())
        progress_->cancel();
}

// Ctrl+W or the title bar: the result closes; a run's sheet stays, as the
// run cannot be left on its own.
void OperationProgressSheet::closeEvent(QCloseEvent* event)
{
    if (closing_) {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
    if (progress_->isFinished())
        QMetaObject::invokeMethod(this, &OperationProgressSheet::closeRequested, Qt::QueuedConnection);
}

void OperationProgressSheet::dismiss()
{
    closing_ = true;
    tick_.stop();
    done(QDialog::Accepted);
}

}  // namespace kelvane::ui
