// SPDX-License-Identifier: MIT
#pragma once

#include "discovery/ExtensionFilter.h"
#include "discovery/FileCandidate.h"
#include "discovery/SearchCriteria.h"
#include "discovery/SearchProgress.h"
#include "operations/sheets/FileCandidateRow.h"
#include "operations/threads/TaskHandle.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::store {
class ModelContext;
}
namespace kelvane::platform {
class LanguageModel;
}

namespace kelvane::operations {

class AskAIModel;

// The state of the search sheet: the form, the running search with its
// progress, the results and their selection, and the registration of the
// selection. Main thread; the search runs on the worker pool, and what it
// reports reaches the model only while its generation is current.
class SearchSheetModel final : public QObject {
    Q_OBJECT
public:
    enum class DateMode { none, olderThan };
    enum class DateUnit { month, year };
    enum class ExtPreset { all, text, sourceCode, binary };
    using ResultSortKey = SortKey<FileCandidateRow::Key>;

    // `context` is the store's main context and outlives the model;
    // `languageModel` answers the ask sheet opened from the results.
    SearchSheetModel(store::ModelContext& context, std::shared_ptr<platform::LanguageModel> languageModel,
                     QObject* parent = nullptr);
    ~SearchSheetModel() override;

    // --- the form -------------------------------------------------------
    const std::filesystem::path& rootURL() const { return rootURL_; }
    bool recursive() const { return recursive_; }
    DateMode dateMode() const { return dateMode_; }
    std::int64_t dateValue() const { return dateValue_; }
    DateUnit dateUnit() const { return dateUnit_; }
    const QString& minSizeMB() const { return minSizeMB_; }
    const QString& maxSizeMB() const { return maxSizeMB_; }
    ExtPreset extPreset() const { return extPreset_; }
    bool excludeAlreadyCompressed() const { return excludeAlreadyCompressed_; }
    bool excludeHidden() const { return excludeHidden_; }

    void setRootURL(std::filesystem::path value);
    void setRecursive(bool value);
    void setDateMode(DateMode value);
    void setDateValue(std::int64_t value);
    void setDateUnit(DateUnit value);
    void setMinSizeMB(QString value);
    void setMaxSizeMB(QString value);
    void setExtPreset(ExtPreset value);
    void setExcludeAlreadyCompressed(bool value);
    void setExcludeHidden(bool value);

    // The root exists (any kind of item) and no search runs.
    bool canSearch() const;
    std::optional<std::chrono::system_clock::time_point> modifiedBefore() const;
    std::optional<discovery::ExtensionFilter> extensionFilter() const;
    discovery::SearchCriteria makeCriteria() const;
    // Decimal megabytes to bytes; bad, negative or unrepresentable text
    // means no limit.
    static std::optional<std::uint64_t> parseMegabytes(const QString& text);

    // --- the search -----------------------------------------------------
    bool isSearching() const { return isSearching_; }
    const std::optional<QString>& searchError() const { return searchError_; }
    const discovery::SearchProgress& scanProgress() const { return scanProgress_; }
    const std::vector<discovery::FileCandidate>& results() const { return results_; }
    const std::vector<ResultSortKey>& resultsSortOrder() const { return resultsSortOrder_; }
    void setResultsSortOrder(std::vector<ResultSortKey> order);
    std::vector<FileCandidateRow> sortedResults() const;

    void startSearch();
    void cancelSearch();

    // --- selection and registration -------------------------------------
    const std::set<std::filesystem::path>& selection() const { return selection_; }
    void setSelection(std::set<std::filesystem::path> selection);

    const std::optional<QString>& registrationSummary() const { return registrationSummary_; }
    void dismissRegistrationSummary();
    // Registers every selected file; the summary tells the counts. After a
    // registration without failures that registered something, asks the
    // sheet to close 0.6 seconds later.
    void registerSelection();

    // --- ask sheet --------------------------------------------------------
    std::unique_ptr<AskAIModel> makeAskModel(const std::filesystem::path& url) const;

    static QString label(DateMode value);
    static QString label(DateUnit value);
    static QString label(ExtPreset value);
    static std::string_view rawValue(ExtPreset value);
    static std::optional<ExtPreset> extPresetFromRawValue(std::string_view raw);
    static const std::vector<std::string>& extensions(ExtPreset value);

signals:
    void formChanged();
    void searchStateChanged();  // isSearching, searchError, scanProgress
    void resultsChanged();
    void resultsSortOrderChanged();
    void selectionChanged();
    void registrationSummaryChanged();
    void closeRequested();

private:
    void setSearching(bool value);
    void reportSearchFailure(const QString& description);

    store::ModelContext& context_;
    std::shared_ptr<platform::LanguageModel> languageModel_;

    std::filesystem::path rootURL_;
    bool recursive_ = true;
    DateMode dateMode_ = DateMode::none;
    std::int64_t dateValue_ = 1;
    DateUnit dateUnit_ = DateUnit::year;
    QString minSizeMB_ = QStringLiteral("10");
    QString maxSizeMB_;
    ExtPreset extPreset_ = ExtPreset::all;
    bool excludeAlreadyCompressed_ = true;
    bool excludeHidden_ = true;

    std::vector<discovery::FileCandidate> results_;
    std::vector<ResultSortKey> resultsSortOrder_{{FileCandidateRow::Key::size, ResultSortKey::Order::reverse}};
    std::set<std::filesystem::path> selection_;
    std::optional<TaskHandle> searchTask_;
    std::uint64_t searchGeneration_ = 0;
    bool isSearching_ = false;
    std::optional<QString> searchError_;
    std::optional<QString> registrationSummary_;
    discovery::SearchProgress scanProgress_;
};

}  // namespace kelvane::operations
