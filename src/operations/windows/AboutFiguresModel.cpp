// SPDX-License-Identifier: MIT
#include "operations/windows/AboutFiguresModel.h"

#include "display/Formatters.h"
#include "operations/threads/WorkerJobs.h"
#include "operations/windows/HistoryFigures.h"
#include "store/CompressionLog.h"
#include "store/ModelContainer.h"
#include "store/RegisteredItem.h"
#include "store/StoreError.h"

#include <QDir>
#include <QLocale>
#include <QPointer>
#include <QSysInfo>
#include <QTimeZone>

#include <utility>

namespace kelvane::operations {

namespace {

QString orQuestionMark(const std::optional<std::string>& value)
{
    return value ? QString::fromStdString(*value) : QStringLiteral("?");
}

QString architectureText()
{
    const QString arch = QSysInfo::buildCpuArchitecture();
    return arch == u"arm64" ? QStringLiteral("Apple Silicon (arm64)") : arch;
}

QString dateText(const std::optional<QDateTime>& date)
{
    return date ? display::dateTimeFormatter().string(*date) : QStringLiteral("—");
}

}  // namespace

AboutFiguresModel::AboutFiguresModel(std::shared_ptr<store::ModelContainer> container, Program program,
                                     QObject* parent)
    : QObject(parent),
      container_(std::move(container)),
      program_(std::move(program)),
      now_([] { return QDateTime::currentDateTime(); }),
      saves_(*container_, {store::CompressionLog::entityName, store::RegisteredItem::entityName},
             [this] { refreshCounts(); })
{
    refreshCounts();
}

AboutFiguresModel::~AboutFiguresModel() = default;

QString AboutFiguresModel::name(AboutFigure figure)
{
    switch (figure) {
    case AboutFigure::registeredCount: return QStringLiteral("registeredCount");
    case AboutFigure::logCount: return QStringLiteral("logCount");
    case AboutFigure::bytesSaved: return QStringLiteral("bytesSaved");
    case AboutFigure::version: return QStringLiteral("version");
    case AboutFigure::bundleIdentifier: return QStringLiteral("bundleIdentifier");
    case AboutFigure::appSize: return QStringLiteral("appSize");
    case AboutFigure::databaseSize: return QStringLiteral("databaseSize");
    case AboutFigure::residentMemory: return QStringLiteral("residentMemory");
    case AboutFigure::launchCount: return QStringLiteral("launchCount");
    case AboutFigure::firstLaunch: return QStringLiteral("firstLaunch");
    case AboutFigure::previousLaunch: return QStringLiteral("previousLaunch");
    case AboutFigure::uptime: return QStringLiteral("uptime");
    case AboutFigure::operatingSystem: return QStringLiteral("operatingSystem");
    case AboutFigure::architecture: return QStringLiteral("architecture");
    case AboutFigure::locale: return QStringLiteral("locale");
    case AboutFigure::timeZone: return QStringLiteral("timeZone");
    case AboutFigure::home: return QStringLiteral("home");
    case AboutFigure::applicationSupport: return QStringLiteral("applicationSupport");
    }
    return {};
}

QString AboutFiguresModel::versionText() const
{
    return orQuestionMark(program_.shortVersion) + QStringLiteral(" (build ") + orQuestionMark(program_.buildNumber)
           + QStringLiteral(")");
}

QString AboutFiguresModel::text(AboutFigure figure) const
{
    const auto& d = diagnostics_;
    const auto bytes = [&](std::uint64_t AboutDiagnostics::*field) {
        return d ? display::formatBytes(display::signedByteCount((*d).*field)) : QStringLiteral("計測中…");
    };
    switch (figure) {
    case AboutFigure::registeredCount: return QString::number(registeredCount_) + QStringLiteral(" 件");
    case AboutFigure::logCount: return QString::number(logCount_) + QStringLiteral(" 件");
    case AboutFigure::bytesSaved: return display::formatBytes(bytesSaved_);
    case AboutFigure::version: return versionText();
    case AboutFigure::bundleIdentifier: return orQuestionMark(program_.bundleIdentifier);
    case AboutFigure::appSize: return bytes(&AboutDiagnostics::bundleSizeBytes);
    case AboutFigure::databaseSize: return bytes(&AboutDiagnostics::dbSizeBytes);
    case AboutFigure::residentMemory: return bytes(&AboutDiagnostics::residentMemoryBytes);
    case AboutFigure::launchCount:
        return d ? QString::number(d->launchCount) + QStringLiteral(" 回") : QStringLiteral("—");
    case AboutFigure::firstLaunch: return dateText(d ? d->firstLaunchAt : std::nullopt);
    case AboutFigure::previousLaunch: return dateText(d ? d->previousLaunchAt : std::nullopt);
    case AboutFigure::uptime:
        return d ? formatUptime(static_cast<double>(d->processStartedAt.msecsTo(now_())) / 1000.0)
                 : QStringLiteral("—");
    case AboutFigure::operatingSystem: return QSysInfo::prettyProductName();
    case AboutFigure::architecture: return architectureText();
    case AboutFigure::locale: return QLocale::system().name();
    case AboutFigure::timeZone: return QString::fromUtf8(QTimeZone::systemTimeZoneId());
    case AboutFigure::home: return QDir::homePath();
    case AboutFigure::applicationSupport:
        return d && d->applicationSupportDir ? *d->applicationSupportDir : QString();
    }
    return {};
}

QString AboutFiguresModel::toolTip(AboutFigure figure) const
{
    if (!diagnostics_)
        return {};
    switch (figure) {
    case AboutFigure::appSize:
        return display::formatExactBytes(display::signedByteCount(diagnostics_->bundleSizeBytes));
    case AboutFigure::databaseSize:
        return display::formatExactBytes(display::signedByteCount(diagnostics_->dbSizeBytes));
    case AboutFigure::residentMemory:
        return display::formatExactBytes(display::signedByteCount(diagnostics_->residentMemoryBytes));
    default: return {};
    }
}

bool AboutFiguresModel::isShown(AboutFigure figure) const
{
    return figure != AboutFigure::applicationSupport || (diagnostics_ && diagnostics_->applicationSupportDir);
}

void AboutFiguresModel::refreshCounts()
{
    try {
        auto& context = container_->mainContext();
        const auto logs = context.fetch<store::CompressionLog>();
        const auto registered = context.fetch<store::RegisteredItem>();
        registeredCount_ = static_cast<std::int64_t>(registered.size());
        logCount_ = static_cast<std::int64_t>(logs.size());
        bytesSaved_ = totalBytesSaved(logs);
        emit countsChanged();
    } catch (const store::StoreError&) {
        // The counts shown stay until the next save reads again.
    }
}

void AboutFiguresModel::refreshDiagnostics()
{
    ++collectionsStarted_;
    QPointer<AboutFiguresModel> self(this);
    runOnWorkers<AboutDiagnostics>({program_.collect}, [self](std::vector<AboutDiagnostics> results) {
        if (!self || results.empty())
            return;
        self->diagnostics_ = std::move(results.front());
        emit self->diagnosticsChanged();
    });
}

void AboutFiguresModel::measureOnce()
{
    if (!diagnostics_ && collectionsStarted_ == 0)
        refreshDiagnostics();
}

void AboutFiguresModel::setClock(std::function<QDateTime()> now)
{
    now_ = std::move(now);
}

QString AboutFiguresModel::formatUptime(double seconds)
{
    const auto s = static_cast<long long>(seconds);  // truncates toward zero
    if (s < 3600) {
        if (s % 3600 < 60)
            return QString::asprintf("%lld 秒", s % 60);
        return QString::asprintf("%lld 分 %lld 秒", (s % 3600) / 60, s % 60);
    }
    return QString::asprintf("%lld 時間 %lld 分 %lld 秒", s / 3600, (s % 3600) / 60, s % 60);
}

}  // namespace kelvane::operations
