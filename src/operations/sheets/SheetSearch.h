// SPDX-License-Identifier: MIT
#pragma once

#include "discovery/FileCandidate.h"
#include "discovery/SearchCriteria.h"
#include "discovery/SearchProgress.h"
#include "operations/threads/TaskHandle.h"

#include <QDateTime>
#include <QPointer>
#include <QString>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <vector>

namespace kelvane::store {
class ModelContext;
}

namespace kelvane::operations {

// How a sheet's search ended.
struct SheetSearchEnd {
    enum class Kind { finished, cancelled, failed };
    Kind kind = Kind::finished;
    QString error;  // failed only
};

// What a sheet wants to hear of its search, on the main thread.
struct SheetSearchCallbacks {
    // Asked on the main thread before every report: once false (the sheet
    // has gone, or started another search), nothing more is delivered.
    std::function<bool()> isCurrent;
    std::function<void(const discovery::SearchProgress&)> progress;
    // The matches found since the last call, in the order found (never empty).
    std::function<void(std::vector<discovery::FileCandidate>)> matches;
    std::function<void(const SheetSearchEnd&)> end;
};

// The callbacks of the search `owner` starts now, with its progress part
// filled in: the search is current while the owner lives and `latest` still
// holds the generation it has now; each progress report is kept in
// `progress` and told by `changed`.
template <class Owner>
SheetSearchCallbacks callbacksOfLatestSearch(Owner* owner, std::uint64_t Owner::*latest,
                                             discovery::SearchProgress Owner::*progress, void (Owner::*changed)())
{
    QPointer<Owner> self(owner);
    SheetSearchCallbacks callbacks;
    callbacks.isCurrent = [self, latest, generation = owner->*latest] { return self && (*self).*latest == generation; };
    callbacks.progress = [self, progress, changed](const discovery::SearchProgress& report) {
        (*self).*progress = report;
        emit((*self).*changed)();
    };
    return callbacks;
}

// Runs a search for a sheet on the worker pool, with the sheets' test of
// "already compressed". Matches and progress arrive in the order found, the
// end after them. They are handed over in batches, at most one every
// `sheetSearchBatchInterval`, so a search that finds faster than a window
// can draw never floods the main thread: its window keeps drawing and a
// cancellation is taken at once.
TaskHandle runSheetSearch(discovery::SearchCriteria criteria, SheetSearchCallbacks callbacks);
inline constexpr std::chrono::milliseconds sheetSearchBatchInterval{40};

// A date for the search's date limit; none when the clock cannot hold it.
std::optional<std::chrono::system_clock::time_point> searchDate(const QDateTime& date);

// What registering files one by one came to.
struct FileRegistrationOutcome {
    int registered = 0;
    int skipped = 0;  // already registered, or inside a registered folder
    int failed = 0;
    QString firstError;
};
// Registers each file through the registration rules, one after another, on
// the main thread; a failure is counted and the rest go on.
FileRegistrationOutcome registerFiles(const std::set<std::filesystem::path>& files, store::ModelContext& context);

}  // namespace kelvane::operations
