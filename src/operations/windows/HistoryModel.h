// SPDX-License-Identifier: MIT
#pragma once

#include "store/CompressionLog.h"
#include "store/Uuid.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace kelvane::store {
class ModelContainer;
class ModelContext;
}  // namespace kelvane::store

namespace kelvane::operations {

class SaveFollower;

using HistoryLog = store::CompressionLog;
using HistoryLogs = std::vector<std::shared_ptr<store::CompressionLog>>;
using HistoryIds = std::set<store::Uuid>;

// Every history record of the store, newest first, one row each, with the
// texts the history window shows. Follows the store: a save anywhere that
// touches the records makes it fetch again on the main thread (a failed
// fetch keeps the rows). Knows no widget: how a cell looks is its Tone.
class HistoryModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { executedAt, operation, target, sizeBefore, sizeAfter, saved, algorithm, duration, result, detail };
    static constexpr int columnCount_ = 10;

    // What a cell means to the eye; the window picks the colour and symbol.
    enum class Tone { plain, secondary, accent, positive, negative };
    Q_ENUM(Tone)
    static constexpr int toneRole = Qt::UserRole + 1;

    // Reads and deletes through `context` (normally the container's main
    // context); `container` tells it when records change.
    HistoryModel(std::shared_ptr<store::ModelContainer> container, store::ModelContext& context,
                 QObject* parent = nullptr);
    ~HistoryModel() override;

    const HistoryLogs& logs() const { return logs_; }
    const HistoryLog& log(int row) const { return *logs_[static_cast<std::size_t>(row)]; }

    // Fetches now (the store's save observer calls it too).
    void reload();
    // Deletes every record with one save. A failed save is rolled back, the
    // rows stay, and the failure's description comes back, escaped for display.
    std::optional<QString> deleteAll();

    // What the whole history saved (totalBytesSaved over every record).
    std::int64_t bytesSaved() const;

    static bool isSortable(int column);
    // A header line and one line per record, fields separated by tabs, with
    // the real paths; line breaks inside a field become spaces.
    static QString tsv(const HistoryLogs& rows);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QVariant displayText(const HistoryLog& log, int column) const;
    QVariant toolTip(const HistoryLog& log, int column) const;
    static Tone tone(const HistoryLog& log, int column);

    std::shared_ptr<store::ModelContainer> container_;
    store::ModelContext& context_;
    std::unique_ptr<SaveFollower> follower_;
    HistoryLogs logs_;
};

}  // namespace kelvane::operations
