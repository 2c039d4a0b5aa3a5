// SPDX-License-Identifier: MIT
#pragma once

#include "operations/bulk/OperationProgress.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

class QFrame;
class QGridLayout;
class QLabel;
class QLayout;
class QProgressBar;
class QPushButton;

namespace kelvane::ui {

class ElidedLabel;

// The sheet over the main window while a bulk run works and after it ends:
// the operation and the file in hand, the progress, time, speed, bytes and
// memory figures, the safety notes and the cancel button; once finished, how
// the run ended, its counts and savings, the history and close buttons.
//
// It only reads the run's progress and asks it to cancel. A change of the
// figures is drawn at most every `changeInterval` (a few times a second),
// the run's start, cancellation and end at once, and everything once a
// second by a timer, with the time taken from a monotonic clock. It cannot
// be dismissed by the user: Escape cancels a running run and does nothing
// afterwards; it closes when its owner calls `dismiss()`.
class OperationProgressSheet final : public QDialog {
    Q_OBJECT
public:
    using Clock = operations::OperationProgress::Clock;

    // `offersHistory`: whether the finished state shows "履歴を見る".
    OperationProgressSheet(std::shared_ptr<operations::OperationProgress> progress, bool offersHistory,
                           QWidget* parent = nullptr);
    ~OperationProgressSheet() override;

    const std::shared_ptr<operations::OperationProgress>& progress() const { return progress_; }
    // Closes the sheet for good.
    void dismiss();

    // The sheet's present: the wall-clock time it was built, advanced by a
    // monotonic clock, so a change of the system time moves no figure.
    Clock::time_point now() const;
    // Replaces the monotonic clock behind `now()` (time since the sheet was
    // built), so a test can move the present without waiting for it.
    void setMonotonicClock(std::function<std::chrono::nanoseconds()> sinceBuilt);
    // How often the content has been redrawn from the progress.
    int refreshCount() const { return refreshCount_; }
    // Measured with operations_bench (1,000 files): a redraw per change
    // (772 of them) cost 5.9 % of the run's throughput.
    static constexpr std::chrono::milliseconds changeInterval{250};

    QSize sizeHint() const override;

signals:
    // The finished state's buttons; the owner clears its run.
    void closeRequested();
    void showLogRequested();

public slots:
    // Escape: cancels while running; the sheet stays either way.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private slots:
    // A change of the figures: a redraw no sooner than changeInterval after
    // the last one.
    void scheduleRefresh();
    // A change of the run's state: a redraw at the end of this turn.
    void scheduleRefreshNow();

private:
    void build(bool offersHistory);
    QLayout* buildHeader();
    QFrame* buildResultCard();
    QFrame* buildOversizeNotice();
    QWidget* buildProgressBox();
    QLayout* buildStatistics();
    QWidget* buildSafetyNotes();
    QLayout* buildButtons(bool offersHistory);
    void refresh();
    void refreshHeader(const operations::OperationProgress& p, bool finished);
    void refreshResultCard(const operations::OperationProgress& p, bool finished);
    void refreshOversizeNotice(const operations::OperationProgress& p);
    void refreshProgressBox(const operations::OperationProgress& p, bool finished);
    void refreshStatistics(const operations::OperationProgress& p, Clock::time_point at);
    void refreshButtons(const operations::OperationProgress& p, bool finished);
    // Sections came or went: the sheet takes the height it now needs.
    void fitShape();
    void fitHeight();

    std::shared_ptr<operations::OperationProgress> progress_;
    const std::uint64_t installedMemory_;
    const Clock::time_point anchor_;
    std::function<std::chrono::nanoseconds()> monotonic_;
    QTimer tick_;
    QTimer changeRedraw_;
    std::chrono::nanoseconds lastRefresh_{0};
    bool refreshPending_ = false;
    int refreshCount_ = 0;
    bool closing_ = false;
    int shape_ = -1;

    QWidget* spinner_ = nullptr;
    QLabel* statusSymbol_ = nullptr;
    QLabel* title_ = nullptr;
    ElidedLabel* fileName_ = nullptr;
    QLabel* counts_ = nullptr;

    QFrame* resultCard_ = nullptr;
    QLabel* savingsSymbol_ = nullptr;
    QLabel* savedBytes_ = nullptr;
    QLabel* percentDot_ = nullptr;
    QLabel* savedPercent_ = nullptr;
    QWidget* sizeLine_ = nullptr;
    QLabel* sizeBefore_ = nullptr;
    QLabel* sizeAfter_ = nullptr;
    QLabel* praise_ = nullptr;

    QFrame* oversizeNotice_ = nullptr;
    QLabel* oversizeHeadline_ = nullptr;
    QLabel* oversizeTotal_ = nullptr;

    QWidget* progressBox_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QLabel* progressCounts_ = nullptr;
    QLabel* savedDot_ = nullptr;
    QLabel* progressSaved_ = nullptr;
    QLabel* failedDot_ = nullptr;
    QLabel* progressFailed_ = nullptr;

    QGridLayout* grid_ = nullptr;
    QLabel* elapsed_ = nullptr;
    QLabel* remaining_ = nullptr;
    QLabel* speed_ = nullptr;
    QLabel* concurrency_ = nullptr;
    QWidget* processedLabel_ = nullptr;
    QLabel* processed_ = nullptr;
    QWidget* memoryUseLabel_ = nullptr;
    QLabel* memoryUse_ = nullptr;
    QWidget* memoryAvailableLabel_ = nullptr;
    QLabel* memoryAvailable_ = nullptr;

    QWidget* safetyNotes_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* history_ = nullptr;
    QPushButton* close_ = nullptr;
};

}  // namespace kelvane::ui
