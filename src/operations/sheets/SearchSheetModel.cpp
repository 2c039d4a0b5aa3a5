// SPDX-License-Identifier: MIT
#include "operations/sheets/SearchSheetModel.h"

#include "discovery/HomeFolder.h"
#include "operations/sheets/AskAIModel.h"
#include "operations/threads/ChangeSignal.h"
#include "operations/sheets/ExtensionSet.h"
#include "operations/sheets/SheetSearch.h"
#include "platform/Logger.h"

#include <QDateTime>
#include <QPointer>
#include <QTimer>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>

namespace kelvane::operations {

namespace {

using Logger = platform::Logger;

// The C library's number rules whatever locale the application runs in.
locale_t cLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

}  // namespace

SearchSheetModel::SearchSheetModel(store::ModelContext& context,
                                   std::shared_ptr<platform::LanguageModel> languageModel, QObject* parent)
    : QObject(parent), context_(context), languageModel_(std::move(languageModel)), rootURL_(discovery::homeFolder())
{
}

SearchSheetModel::~SearchSheetModel()
{
    if (searchTask_)
        searchTask_->cancel();
}

// --- the form -------------------------------------------------------------

void SearchSheetModel::setRootURL(std::filesystem::path value)
{
    assignAndNotify(this, rootURL_, std::move(value), &SearchSheetModel::formChanged);
}

void SearchSheetModel::setRecursive(bool value)
{
    assignAndNotify(this, recursive_, value, &SearchSheetModel::formChanged);
}

void SearchSheetModel::setDateMode(DateMode value)
{
    assignAndNotify(this, dateMode_, value, &SearchSheetModel::formChanged);
}

void SearchSheetModel::setDateValue(std::int64_t value)
{
    assignAndNotify(this, dateValue_, value, &SearchSheetModel::formChanged);
}

void SearchSheetModel::setDateUnit(DateUnit value)
{
    assignAndNotify(this, dateUnit_, value, &SearchSheetModel::formChanged);
}

void SearchSheetModel::setMinSizeMB(QString value)
{
    assignAndNotify(this, minSizeMB_, std::move(value), &SearchSheetModel::formChanged);
}

void SearchSheetModel::setMaxSizeMB(QString value)
{
    assignAndNotify(this, maxSizeMB_, std::move(value), &SearchSheetModel::formChanged);
}

void SearchSheetModel::setExtPreset(ExtPreset value)
{
    assignAndNotify(this, extPreset_, value, &SearchSheetModel::formChanged);
}

void SearchSheetModel::setExcludeAlreadyCompressed(bool value)
{
    assignAndNotify(this, excludeAlreadyCompressed_, value, &SearchSheetModel::formChanged);
}

void SearchSheetModel::setExcludeHidden(bool value)
{
    assignAndNotify(this, excludeHidden_, value, &SearchSheetModel::formChanged);
}

bool SearchSheetModel::canSearch() const
{
    std::error_code error;
    return !isSearching_ && std::filesystem::exists(rootURL_, error);
}

std::optional<std::chrono::system_clock::time_point> SearchSheetModel::modifiedBefore() const
{
    if (dateMode_ == DateMode::none)
        return std::nullopt;
    // QDateTime moves by int; anything beyond is far outside every calendar
    // the clock can hold anyway.
    if (dateValue_ > std::numeric_limits<int>::max() || dateValue_ < -std::numeric_limits<int>::max())
        return std::nullopt;
    const int amount = -static_cast<int>(dateValue_);
    const QDateTime now = QDateTime::currentDateTime();
    return searchDate(dateUnit_ == DateUnit::month ? now.addMonths(amount) : now.addYears(amount));
}

std::optional<std::uint64_t> SearchSheetModel::parseMegabytes(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t'))
        ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    if (begin == end)
        return std::nullopt;
    const QByteArray bytes = text.mid(begin, end - begin).toUtf8();
    char* stop = nullptr;
    const double value = strtod_l(bytes.constData(), &stop, cLocale());
    if (stop != bytes.constData() + bytes.size())
        return std::nullopt;
    if (!(value >= 0))
        return std::nullopt;
    const double bytesValue = value * 1'000'000.0;
    // 2^64: anything from there on (infinity included) has no UInt64 form.
    if (!(bytesValue < 18446744073709551616.0))
        return std::nullopt;
    return static_cast<std::uint64_t>(bytesValue);
}

std::optional<discovery::ExtensionFilter> SearchSheetModel::extensionFilter() const
{
    if (extPreset_ == ExtPreset::all)
        return std::nullopt;
    auto set = extensionSet(extensions(extPreset_));
    if (set.empty())
        return std::nullopt;
    return discovery::ExtensionFilter(discovery::ExtensionFilter::includeOnly{std::move(set)});
}

discovery::SearchCriteria SearchSheetModel::makeCriteria() const
{
    discovery::SearchCriteria criteria;
    criteria.rootURL = rootURL_;
    criteria.recursive = recursive_;
    criteria.modifiedBefore = modifiedBefore();
    criteria.minSize = parseMegabytes(minSizeMB_);
    criteria.maxSize = parseMegabytes(maxSizeMB_);
    criteria.extensionFilter = extensionFilter();
    criteria.excludeAlreadyCompressed = excludeAlreadyCompressed_;
    criteria.excludeHidden = excludeHidden_;
    return criteria;
}

// --- the search ----------------------------------------------------------

void SearchSheetModel::setResultsSortOrder(std::vector<ResultSortKey> order)
{
    assignAndNotify(this, resultsSortOrder_, std::move(order), &SearchSheetModel::resultsSortOrderChanged);
}

std::vector<FileCandidateRow> SearchSheetModel::sortedResults() const
{
    std::vector<FileCandidateRow> rows;
    rows.reserve(results_.size());
    for (const auto& candidate : results_)
        rows.push_back({candidate});
    sortByKeys(rows, resultsSortOrder_, &FileCandidateRow::compare);
    return rows;
}

void SearchSheetModel::startSearch()
{
    if (searchTask_)
        searchTask_->cancel();
    searchError_.reset();
    results_.clear();
    selection_.clear();
    scanProgress_ = {};
    const discovery::SearchCriteria criteria = makeCriteria();
    setSearching(true);
    emit resultsChanged();
    emit selectionChanged();

    ++searchGeneration_;
    QPointer<SearchSheetModel> self(this);
    SheetSearchCallbacks callbacks = callbacksOfLatestSearch(this, &SearchSheetModel::searchGeneration_,
                                                             &SearchSheetModel::scanProgress_,
                                                             &SearchSheetModel::searchStateChanged);
    callbacks.matches = [self](std::vector<discovery::FileCandidate> found) {
        self->results_.insert(self->results_.end(), std::make_move_iterator(found.begin()),
                              std::make_move_iterator(found.end()));
        emit self->resultsChanged();
    };
    callbacks.end = [self](const SheetSearchEnd& end) {
        if (end.kind == SheetSearchEnd::Kind::failed)
            self->reportSearchFailure(end.error);
        self->setSearching(false);
    };
    searchTask_ = runSheetSearch(criteria, std::move(callbacks));
}

void SearchSheetModel::cancelSearch()
{
    if (searchTask_)
        searchTask_->cancel();
}

void SearchSheetModel::reportSearchFailure(const QString& description)
{
    Logger::ui().error("search failed: %{public}s", description.toStdString());
    searchError_ = QStringLiteral("検索失敗: ") + description;
}

void SearchSheetModel::setSearching(bool value)
{
    isSearching_ = value;
    emit searchStateChanged();
}

// --- selection and registration -------------------------------------------

void SearchSheetModel::setSelection(std::set<std::filesystem::path> selection)
{
    assignAndNotify(this, selection_, std::move(selection), &SearchSheetModel::selectionChanged);
}

void SearchSheetModel::dismissRegistrationSummary()
{
    if (!registrationSummary_)
        return;
    registrationSummary_.reset();
    emit registrationSummaryChanged();
}

void SearchSheetModel::registerSelection()
{
    const FileRegistrationOutcome outcome = registerFiles(selection_, context_);
    QString summary = QStringLiteral("登録: %1 件、スキップ: %2 件").arg(outcome.registered).arg(outcome.skipped);
    if (outcome.failed > 0)
        summary += QStringLiteral("、失敗: %1 件\n").arg(outcome.failed) + outcome.firstError;
    registrationSummary_ = summary;
    emit registrationSummaryChanged();
    if (outcome.registered >= 1 && outcome.failed == 0)
        QTimer::singleShot(600, this, &SearchSheetModel::closeRequested);
}

std::unique_ptr<AskAIModel> SearchSheetModel::makeAskModel(const std::filesystem::path& url) const
{
    return std::make_unique<AskAIModel>(url, languageModel_);
}

// --- option texts ------------------------------------------------------------

QString SearchSheetModel::label(DateMode value)
{
    return value == DateMode::none ? QStringLiteral("指定しない") : QStringLiteral("○以上前");
}

QString SearchSheetModel::label(DateUnit value)
{
    return value == DateUnit::month ? QStringLiteral("ヶ月") : QStringLiteral("年");
}

QString SearchSheetModel::label(ExtPreset value)
{
    switch (value) {
    case ExtPreset::all: return QStringLiteral("全て");
    case ExtPreset::text: return QStringLiteral("テキスト系のみ");
    case ExtPreset::sourceCode: return QStringLiteral("ソースコードのみ");
    case ExtPreset::binary: return QStringLiteral("バイナリ実行ファイルのみ");
    }
    return {};
}

std::string_view SearchSheetModel::rawValue(ExtPreset value)
{
    switch (value) {
    case ExtPreset::all: return "all";
    case ExtPreset::text: return "text";
    case ExtPreset::sourceCode: return "sourceCode";
    case ExtPreset::binary: return "binary";
    }
    return {};
}

std::optional<SearchSheetModel::ExtPreset> SearchSheetModel::extPresetFromRawValue(std::string_view raw)
{
    for (ExtPreset value : {ExtPreset::all, ExtPreset::text, ExtPreset::sourceCode, ExtPreset::binary})
        if (rawValue(value) == raw)
            return value;
    return std::nullopt;
}

const std::vector<std::string>& SearchSheetModel::extensions(ExtPreset value)
{
    static const std::vector<std::string> none;
    static const std::vector<std::string> text{"txt", "md", "json", "xml", "csv", "log", "html", "svg"};
    static const std::vector<std::string> sourceCode{"swift", "py", "js", "ts", "c", "h", "go", "rs"};
    static const std::vector<std::string> binary{"dylib", "framework", "app"};
    switch (value) {
    case ExtPreset::all: return none;
    case ExtPreset::text: return text;
    case ExtPreset::sourceCode: return sourceCode;
    case ExtPreset::binary: return binary;
    }
    return none;
}

}  // namespace kelvane::operations
