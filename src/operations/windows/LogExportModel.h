// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace kelvane::operations {

// The About window's log export: reads the log of a chosen span off the main
// thread, then writes it whole where the user says. One export at a time;
// its failure is kept as text until the next one starts.
class LogExportModel final : public QObject {
    Q_OBJECT
public:
    enum class Range { lastHour, lastDay, lastWeek };
    static double hours(Range range);

    // `read` returns the log text of the last hours or throws std::exception;
    // it runs on a worker thread.
    explicit LogExportModel(std::function<std::string(double hours)> read, QObject* parent = nullptr);

    Range range() const { return range_; }
    void setRange(Range range) { range_ = range; }
    bool isExporting() const { return isExporting_; }
    const std::optional<QString>& error() const { return error_; }

    // Starts reading unless an export runs. `read` gets the text on the main
    // thread and must end the export with save() (an empty destination cancels).
    void start(std::function<void(std::string text)> read);
    // Written beside the destination and moved over it whole.
    void save(const std::string& text, const std::filesystem::path& destination);

signals:
    void started();
    void finished();

private:
    void finish(std::optional<QString> error);

    std::function<std::string(double)> read_;
    Range range_ = Range::lastDay;
    bool isExporting_ = false;
    std::optional<QString> error_;
};

}  // namespace kelvane::operations
