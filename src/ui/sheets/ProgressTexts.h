// SPDX-License-Identifier: MIT
#pragma once

#include "operations/bulk/ActiveOperation.h"

#include <QColor>
#include <QString>

#include <cstdint>
#include <optional>

namespace kelvane::operations {
class OperationProgress;
}

namespace kelvane::ui {

// The texts, colours and symbols of the progress sheet, computed from the
// run's figures only, so the sheet and its tests read the same thing.
struct ProgressTexts {
    static QColor green();
    static QColor orange();
    static QColor red();

    // "圧縮" or "解除".
    static QString operationWord(operations::ActiveOperation::Kind kind);

    // "m:ss" below an hour, else "h:mm:ss" (hours not wrapped); seconds are
    // truncated toward zero.
    static QString formatDuration(double seconds);
    // "計測中…" without a finite estimate, "完了間近" below a second, else "約 " + duration.
    static QString remainingText(std::optional<double> seconds);
    // "計測中…" without a finite figure, else the truncated bytes + " / 秒".
    static QString speedText(std::optional<double> bytesPerSecond);

    static QString runningTitle(const operations::OperationProgress& progress);
    static QString finishedTitle(const operations::OperationProgress& progress);
    static QString finishedSymbol(const operations::OperationProgress& progress);
    static QColor finishedColor(const operations::OperationProgress& progress);
    // "成功 n 件" with the failed, skipped and over-2 GB parts that apply. The
    // successes are the files really compressed or decompressed.
    static QString countsLine(const operations::OperationProgress& progress);

    // The bytes of files not skipped.
    static std::int64_t processedNotSkipped(const operations::OperationProgress& progress);
    // Whole percent of those bytes saved, 1...99, or none.
    static std::optional<long long> savedPercent(std::int64_t saved, std::int64_t processed);
    static QString savingsSymbol(std::int64_t saved);
    static QString savingsMessage(std::int64_t saved);

    static QString processedText(const operations::OperationProgress& progress);
    static QString memoryUseText(const operations::OperationProgress& progress);
    static QString memoryAvailableText(const operations::OperationProgress& progress, std::uint64_t installed);
    // The colour of the memory rows; nullopt is the secondary style.
    static std::optional<QColor> memoryUsageColor(std::uint64_t peak, std::uint64_t installed);
    static std::optional<QColor> memoryAvailableColor(std::uint64_t available, std::uint64_t installed);

    static QString oversizeHeadline(int count);
    static QString oversizeTotal(std::int64_t bytes);
    static QString oversizeReason();

    // The large-run confirmation's message.
    static QString largeOperationMessage(operations::ActiveOperation::Kind kind, std::size_t count,
                                         std::int64_t totalBytes);
};

}  // namespace kelvane::ui
