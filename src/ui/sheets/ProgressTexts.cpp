// SPDX-License-Identifier: MIT
#include "ui/sheets/ProgressTexts.h"

#include "display/Formatters.h"
#include "operations/bulk/OperationProgress.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace kelvane::ui {

using operations::ActiveOperation;
using operations::OperationProgress;

QColor ProgressTexts::green() { return QColor(0x2e, 0xa0, 0x43); }
QColor ProgressTexts::orange() { return QColor(0xe0, 0x7b, 0x00); }
QColor ProgressTexts::red() { return QColor(0xd7, 0x2b, 0x2b); }

QString ProgressTexts::operationWord(ActiveOperation::Kind kind)
{
    return kind == ActiveOperation::Kind::compress ? QStringLiteral("圧縮") : QStringLiteral("解除");
}

QString ProgressTexts::formatDuration(double seconds)
{
    if (!std::isfinite(seconds))
        seconds = 0;
    const long long s = static_cast<long long>(std::trunc(std::clamp(seconds, -9.0e15, 9.0e15)));
    if (s < 3600)
        return QString::asprintf("%lld:%02lld", (s % 3600) / 60, s % 60);
    return QString::asprintf("%lld:%02lld:%02lld", s / 3600, (s % 3600) / 60, s % 60);
}

QString ProgressTexts::remainingText(std::optional<double> seconds)
{
    if (!seconds || !std::isfinite(*seconds))
        return QStringLiteral("計測中…");
    if (*seconds < 1.0)
        return QStringLiteral("完了間近");
    return QStringLiteral("約 ") + formatDuration(*seconds);
}

QString ProgressTexts::speedText(std::optional<double> bytesPerSecond)
{
    if (!bytesPerSecond || !std::isfinite(*bytesPerSecond))
        return QStringLiteral("計測中…");
    const double limited = std::clamp(*bytesPerSecond, -9.2e18, 9.2e18);
    return display::formatBytes(static_cast<std::int64_t>(std::trunc(limited))) + QStringLiteral(" / 秒");
}

QString ProgressTexts::runningTitle(const OperationProgress& progress)
{
    const QString word = operationWord(progress.kind());
    if (progress.total() < 2)
        return word + QStringLiteral("中…");
    return word + QStringLiteral("中…（%1 / %2）").arg(progress.current()).arg(progress.total());
}

QString ProgressTexts::finishedTitle(const OperationProgress& progress)
{
    const QString word = operationWord(progress.kind());
    if (progress.wasCancelled())
        return word + QStringLiteral("を中断しました");
    if (!progress.failures().empty())
        return word + QStringLiteral("完了（一部失敗）");
    return word + QStringLiteral("完了");
}

QString ProgressTexts::finishedSymbol(const OperationProgress& progress)
{
    if (progress.wasCancelled())
        return QStringLiteral("pause.circle.fill");
    if (!progress.failures().empty())
        return QStringLiteral("exclamationmark.triangle.fill");
    return QStringLiteral("checkmark.circle.fill");
}

QColor ProgressTexts::finishedColor(const OperationProgress& progress)
{
    return progress.wasCancelled() || !progress.failures().empty() ? orange() : green();
}

QString ProgressTexts::countsLine(const OperationProgress& progress)
{
    QStringList parts;
    parts << QStringLiteral("成功 %1 件").arg(progress.succeededCount());
    if (!progress.failures().empty())
        parts << QStringLiteral("失敗 %1").arg(progress.failures().size());
    if (progress.skippedCount() >= 1)
        parts << QStringLiteral("スキップ %1").arg(progress.skippedCount());
    if (progress.sizeSkippedCount() >= 1)
        parts << QStringLiteral("2 GB 超 %1").arg(progress.sizeSkippedCount());
    return parts.join(QStringLiteral(" · "));
}

std::int64_t ProgressTexts::processedNotSkipped(const OperationProgress& progress)
{
    return progress.bytesProcessedSoFar() - progress.skippedBytes();
}

std::optional<long long> ProgressTexts::savedPercent(std::int64_t saved, std::int64_t processed)
{
    if (processed < 1)
        return std::nullopt;
    const double x = static_cast<double>(saved) / static_cast<double>(processed) * 100.0;
    if (!std::isfinite(x) || x <= 0)
        return std::nullopt;
    return std::clamp<long long>(std::llround(std::min(x, 1.0e6)), 1, 99);
}

QString ProgressTexts::savingsSymbol(std::int64_t saved)
{
    if (saved > 999999999)
        return QStringLiteral("sparkles");
    if (saved >= 100000000)
        return QStringLiteral("star.fill");
    return QStringLiteral("checkmark.seal.fill");
}

QString ProgressTexts::savingsMessage(std::int64_t saved)
{
    if (saved > 9999999999LL)
        return QStringLiteral("圧巻の削減です。ストレージにかなりの余裕が生まれました。");
    if (saved > 999999999)
        return QStringLiteral("素晴らしい削減です。ディスクがぐっと軽くなりました。");
    if (saved > 99999999)
        return QStringLiteral("まとまった容量を確保できました。日々の作業が少し快適になります。");
    if (saved > 9999999)
        return QStringLiteral("気持ちよくスッキリしました。塵も積もれば、です。");
    return QStringLiteral("少しずつでも積み重ねれば、確実にディスクは軽くなります。");
}

QString ProgressTexts::processedText(const OperationProgress& progress)
{
    return display::formatBytes(progress.bytesProcessedSoFar()) + QStringLiteral(" / ") +
           display::formatBytes(progress.totalBytes());
}

QString ProgressTexts::memoryUseText(const OperationProgress& progress)
{
    return display::formatBytes(display::signedByteCount(progress.currentMemoryBytes())) + QStringLiteral(" (最大 ") +
           display::formatBytes(display::signedByteCount(progress.peakMemoryBytes())) + QStringLiteral(")");
}

QString ProgressTexts::memoryAvailableText(const OperationProgress& progress, std::uint64_t installed)
{
    return display::formatBytes(display::signedByteCount(progress.systemAvailableMemoryBytes())) +
           QStringLiteral(" / 搭載 ") + display::formatBytes(display::signedByteCount(installed));
}

std::optional<QColor> ProgressTexts::memoryUsageColor(std::uint64_t peak, std::uint64_t installed)
{
    if (installed == 0)
        return std::nullopt;
    const double r = static_cast<double>(peak) / static_cast<double>(installed);
    if (r >= 0.6)
        return red();
    if (r >= 0.4)
        return orange();
    return std::nullopt;
}

std::optional<QColor> ProgressTexts::memoryAvailableColor(std::uint64_t available, std::uint64_t installed)
{
    if (installed == 0)
        return std::nullopt;
    const double a = static_cast<double>(available) / static_cast<double>(installed);
    if (a < 0.05)
        return red();
    if (a < 0.1)
        return orange();
    return std::nullopt;
}

QString ProgressTexts::oversizeHeadline(int count)
{
    return QStringLiteral("%1 件のファイルが 2 GB を超えるためスキップしました").arg(count);
}

QString ProgressTexts::oversizeTotal(std::int64_t bytes)
{
    return QStringLiteral("対象合計サイズ: ") + display::formatBytes(bytes);
}

QString ProgressTexts::oversizeReason()
{
    return QStringLiteral("macOS の透過圧縮（decmpfs）が扱える 1 ファイルの上限が 2 GB のためです。設定では変更できません。");
}

QString ProgressTexts::largeOperationMessage(ActiveOperation::Kind kind, std::size_t count, std::int64_t totalBytes)
{
    const QString verb = operationWord(kind);
    return QStringLiteral("%1 件、合計 ").arg(static_cast<qulonglong>(count)) + display::formatBytes(totalBytes) +
           QStringLiteral(" を") + verb +
           QStringLiteral("します。\n\n合計サイズが 1 GB を超える大規模な操作のため、念のため確認しています。"
                          "完了まで数分〜十数分かかる場合があります。途中でキャンセルしても、ここまでに") +
           verb + QStringLiteral("済みのファイルはそのまま残ります。");
}

}  // namespace kelvane::ui
