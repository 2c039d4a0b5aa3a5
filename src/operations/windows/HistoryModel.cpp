// SPDX-License-Identifier: MIT
#include "operations/windows/HistoryModel.h"

#include "display/Formatters.h"
#include "display/VisibleName.h"
#include "operations/threads/SaveFollower.h"
#include "operations/windows/HistoryFigures.h"
#include "store/ModelContainer.h"
#include "store/StoreError.h"

#include <algorithm>

namespace kelvane::operations {

namespace {

const QString emDash = QStringLiteral("\u2014");

bool isCompress(const HistoryLog& log)
{
    return log.operation() == "compress";
}

QString operationText(const HistoryLog& log)
{
    return isCompress(log) ? QStringLiteral("圧縮") : QStringLiteral("解除");
}

QString dateText(const HistoryLog& log)
{
    return display::dateTimeFormatter().string(log.executedAt());
}

// The stored failure text on one line, as it was written.
QString oneLine(const std::string& text)
{
    return QString::fromStdString(text).replace(u'\n', u' ');
}

// A stored failure text may carry a path or a lower layer's words: shown
// escaped like every name, its line breaks kept.
QString visibleMessage(const std::string& text)
{
    QStringList lines = QString::fromStdString(text).split(u'\n');
    for (QString& line : lines)
        line = display::visibleName(line);
    return lines.join(u'\n');
}

QString failureText(const HistoryLog& log)
{
    return log.errorMessage() ? visibleMessage(*log.errorMessage()) : QStringLiteral("失敗");
}

// d = before - after, or none when it does not fit.
std::optional<std::int64_t> difference(const HistoryLog& log)
{
    std::int64_t d = 0;
    if (__builtin_sub_overflow(log.sizeBefore(), log.sizeAfter(), &d))
        return std::nullopt;
    return d;
}

QString savedText(const HistoryLog& log)
{
    const auto d = difference(log);
    return display::formatBytes(d ? std::max<std::int64_t>(*d, 0) : 0);
}

// Only a successful run on a file that had bytes saved anything.
bool showsSaved(const HistoryLog& log)
{
    return log.sizeBefore() >= 1 && log.success();
}

}  // namespace

HistoryModel::HistoryModel(std::shared_ptr<store::ModelContainer> container, store::ModelContext& context,
                           QObject* parent)
    : QAbstractTableModel(parent), container_(std::move(container)), context_(context),
      follower_(std::make_unique<SaveFollower>(*container_, std::vector{HistoryLog::entityName}, [this] { reload(); }))
{
    reload();
}

HistoryModel::~HistoryModel() = default;

void HistoryModel::reload()
{
    using Log = HistoryLog::Attributes;
    HistoryLogs fetched;
    try {
        fetched = context_.fetch(store::FetchDescriptor<HistoryLog>(
            std::vector<store::SortDescriptor<HistoryLog>>{{Log::executedAt, store::SortOrder::reverse}}));
    } catch (const store::StoreError&) {
        // The rows shown stay; the next save that touches the history reads again.
        return;
    }
    beginResetModel();
    logs_ = std::move(fetched);
    endResetModel();
}

std::optional<QString> HistoryModel::deleteAll()
{
    std::optional<QString> failure;
    try {
        for (const auto& log : logs_)
            context_.remove(log);
        context_.save();
    } catch (const store::StoreError& error) {
        // The store has rolled the deletes back; what is shown stays true.
        context_.rollback();
        failure = display::visibleName(std::string_view(error.what()));
    }
    reload();
    return failure;
}

std::int64_t HistoryModel::bytesSaved() const
{
    return totalBytesSaved(logs_);
}

bool HistoryModel::isSortable(int column)
{
    return column >= 0 && column < columnCount_ && column != saved && column != result && column != detail;
}

QString HistoryModel::tsv(const HistoryLogs& rows)
{
    QStringList lines{QStringLiteral("実行日時\t操作\t対象\t圧縮前\t圧縮後\t削減\tアルゴリズム\t所要(ms)\t結果\t詳細")};
    for (const auto& log : rows) {
        const QString detail = !log->success() && log->errorMessage() ? oneLine(*log->errorMessage()) : QString();
        lines << QStringList{dateText(*log),
                             operationText(*log),
                             QString::fromStdString(log->targetPath()),
                             display::formatBytes(log->sizeBefore()),
                             display::formatBytes(log->sizeAfter()),
                             log->success() ? savedText(*log) : emDash,
                             QString::fromStdString(log->algorithm()),
                             QString::number(log->durationMs()),
                             log->success() ? QStringLiteral("成功") : QStringLiteral("失敗"),
                             detail}
                     .join(u'\t');
    }
    return lines.join(u'\n');
}

int HistoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(logs_.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columnCount_;
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const QStringList titles{QStringLiteral("実行日時"), QStringLiteral("操作"),   QStringLiteral("対象"),
                                    QStringLiteral("圧縮前"),   QStringLiteral("圧縮後"), QStringLiteral("削減"),
                                    QStringLiteral("アルゴリズム"), QStringLiteral("所要"), QStringLiteral("結果"),
                                    QStringLiteral("詳細")};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < titles.size())
        return titles[section];
    return {};
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount_)
        return {};
    const HistoryLog& log = this->log(index.row());
    switch (role) {
    case Qt::DisplayRole: return displayText(log, index.column());
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole: return toolTip(log, index.column());
    case toneRole: return QVariant::fromValue(tone(log, index.column()));
    case Qt::TextAlignmentRole:
        switch (index.column()) {
        case sizeBefore:
        case sizeAfter:
        case saved:
        case duration: return int(Qt::AlignRight | Qt::AlignVCenter);
        case result: return int(Qt::AlignCenter);
        }
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return {};
}

QVariant HistoryModel::displayText(const HistoryLog& log, int column) const
{
    switch (column) {
    case executedAt: return dateText(log);
    case operation: return operationText(log);
    case target: return display::visibleName(log.targetPath());
    case sizeBefore: return display::formatBytes(log.sizeBefore());
    case sizeAfter: return display::formatBytes(log.sizeAfter());
    case saved: return showsSaved(log) ? savedText(log) : emDash;
    case algorithm: return QString::fromStdString(log.algorithm());
    case duration: return QString::number(log.durationMs()) + QStringLiteral(" ms");
    case result: return {};  // the symbol alone
    case detail:
        if (log.success())
            return QString();
        return log.errorMessage() ? display::visibleName(oneLine(*log.errorMessage())) : QStringLiteral("失敗");
    }
    return {};
}

QVariant HistoryModel::toolTip(const HistoryLog& log, int column) const
{
    switch (column) {
    case target: return display::visibleName(log.targetPath());
    case result: return log.success() ? QStringLiteral("成功") : failureText(log);
    case detail: return log.errorMessage() ? visibleMessage(*log.errorMessage()) : QString();
    }
    return {};
}

HistoryModel::Tone HistoryModel::tone(const HistoryLog& log, int column)
{
    switch (column) {
    case operation: return isCompress(log) ? Tone::accent : Tone::secondary;
    case saved: {
        const auto d = difference(log);
        return showsSaved(log) && d && *d >= 1 ? Tone::positive : Tone::secondary;
    }
    case target: return Tone::plain;
    case result: return log.success() ? Tone::positive : Tone::negative;
    case detail: return Tone::negative;
    }
    return Tone::secondary;
}

}  // namespace kelvane::operations
