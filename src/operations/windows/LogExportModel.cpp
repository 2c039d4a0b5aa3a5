// SPDX-License-Identifier: MIT
#include "operations/windows/LogExportModel.h"

#include "operations/threads/WorkerJobs.h"

#include <QPointer>
#include <QSaveFile>

#include <exception>
#include <utility>
#include <variant>

namespace kelvane::operations {

double LogExportModel::hours(Range range)
{
    switch (range) {
    case Range::lastHour: return 1;
    case Range::lastDay: return 24;
    case Range::lastWeek: return 168;
    }
    return 24;
}

LogExportModel::LogExportModel(std::function<std::string(double hours)> read, QObject* parent)
    : QObject(parent), read_(std::move(read))
{
}

void LogExportModel::start(std::function<void(std::string text)> whenRead)
{
    if (isExporting_)
        return;
    error_.reset();
    isExporting_ = true;
    emit started();

    using Outcome = std::variant<std::string, QString>;  // the text, or why it failed
    const double span = hours(range_);
    auto read = read_;
    QPointer<LogExportModel> self(this);
    runOnWorkers<Outcome>(
        {[read, span]() -> Outcome {
            try {
                return read(span);
            } catch (const std::exception& error) {
                return QString::fromLocal8Bit(error.what());
            }
        }},
        [self, whenRead = std::move(whenRead)](std::vector<Outcome> results) {
            if (!self || results.empty())
                return;
            if (const auto* failure = std::get_if<QString>(&results.front()))
                self->finish(QStringLiteral("ログ取得に失敗しました: ") + *failure);
            else
                whenRead(std::move(std::get<std::string>(results.front())));
        });
}

void LogExportModel::save(const std::string& text, const std::filesystem::path& destination)
{
    if (!isExporting_)
        return;
    if (destination.empty()) {
        finish(std::nullopt);
        return;
    }
    QSaveFile file(QString::fromStdString(destination.string()));
    const bool written = file.open(QIODevice::WriteOnly)
                         && file.write(text.data(), qint64(text.size())) == qint64(text.size()) && file.commit();
    finish(written ? std::nullopt : std::optional(QStringLiteral("ファイル保存に失敗しました: ") + file.errorString()));
}

void LogExportModel::finish(std::optional<QString> error)
{
    error_ = std::move(error);
    isExporting_ = false;
    emit finished();
}

}  // namespace kelvane::operations
