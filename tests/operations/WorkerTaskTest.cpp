// SPDX-License-Identifier: MIT
#include "discovery/CancellationError.h"
#include "discovery/FileSystemSearchError.h"
#include "discovery/FileSystemSearcher.h"
#include "discovery/FolderFileCounter.h"
#include "operations/threads/MainThread.h"
#include "operations/threads/WorkerJobs.h"

#include "OperationsTestSupport.h"
#include "discovery/SearchTree.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>

namespace kelvane::operations {
namespace {

namespace fs = std::filesystem;
using discovery::FileCandidate;
using discovery::FileSystemSearcher;
using discovery::SearchProgress;
using Results = FileSystemSearcher::Results;

discovery::SearchCriteria everything(const fs::path& root)
{
    discovery::SearchCriteria criteria;
    criteria.rootURL = root;
    criteria.excludeAlreadyCompressed = false;
    criteria.excludeHidden = false;
    return criteria;
}

std::set<fs::path> urls(const Results& results)
{
    std::set<fs::path> out;
    for (const FileCandidate& candidate : results)
        out.insert(candidate.url);
    return out;
}

// `files` empty files spread over `folders` folders of a fresh root.
fs::path makeTree(const kelvane::test::TempDir& dir, int files, int folders)
{
    test::application();
    const fs::path root = dir.path() / "root";
    for (int i = 0; i < files; ++i)
        kelvane::test::makeFile(root / ("d" + std::to_string(i % folders)) / ("f" + std::to_string(i)));
    return root;
}

// A search and a count run on the worker pool: the walk stays off the main
// thread, the outcome (result or failure) arrives on it, and the task ends.
TEST(WorkerTask, SearchesAndCountsRunOnThePoolAndReportOnTheMainThread)
{
    kelvane::test::TempDir dir;
    const fs::path root = makeTree(dir, 250, 3);

    std::atomic<bool> walkedOnMainThread = false;
    std::vector<SearchProgress> shown;  // as a sheet would see them
    std::optional<Results> results;
    bool doneOnMainThread = false;
    const TaskHandle search = runTask<Results>(
        [&](std::stop_token stop) {
            return FileSystemSearcher().search(
                everything(root),
                [&](const SearchProgress& p) {
                    walkedOnMainThread = walkedOnMainThread || isMainThread();
                    postToMainThread([&shown, p] { shown.push_back(p); });
                },
                {}, stop);
        },
        [&](TaskOutcome<Results> outcome) {
            doneOnMainThread = isMainThread();
            results = std::move(outcome).get();
        });
    ASSERT_TRUE(test::waitUntil([&] { return search.isFinished(); }));
    EXPECT_FALSE(walkedOnMainThread.load());
    EXPECT_TRUE(doneOnMainThread);
    ASSERT_TRUE(results);
    EXPECT_EQ(urls(*results), urls(FileSystemSearcher().search(everything(root))));
    // Reports at 100 and 200 entries and at the end, all before the outcome.
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown.back(), (SearchProgress{253, 250}));

    std::optional<std::int64_t> counted;
    const TaskHandle count = runTask<std::int64_t>(
        [&](std::stop_token stop) { return discovery::FolderFileCounter().countFiles(root, true, stop); },
        [&](TaskOutcome<std::int64_t> outcome) { counted = std::move(outcome).get(); });
    ASSERT_TRUE(test::waitUntil([&] { return count.isFinished(); }));
    EXPECT_EQ(counted, 250);

    // A failure travels to the main thread too.
    std::exception_ptr failure;
    const TaskHandle failing = runTask<Results>(
        [&](std::stop_token stop) { return FileSystemSearcher().search(everything(dir.path() / "missing"), {}, {}, stop); },
        [&](TaskOutcome<Results> outcome) { failure = outcome.failure; });
    ASSERT_TRUE(test::waitUntil([&] { return failing.isFinished(); }));
    ASSERT_TRUE(failure);
    EXPECT_THROW(std::rethrow_exception(failure), discovery::FileSystemSearchError);
}

// Cancelling the task from the main thread stops the walk at its next entry;
// the matches already posted are what the sheet keeps.
TEST(WorkerTask, CancelledSearchKeepsTheMatchesFoundSoFar)
{
    kelvane::test::TempDir dir;
    const fs::path root = makeTree(dir, 1000, 10);

    std::atomic<int> matches = 0;
    std::atomic<bool> released = false;
    std::vector<fs::path> kept;
    std::exception_ptr failure;
    const TaskHandle task = runTask<Results>(
        [&](std::stop_token stop) {
            return FileSystemSearcher().search(
                everything(root), {},
                [&](const FileCandidate& candidate) {
                    postToMainThread([&kept, url = candidate.url] { kept.push_back(url); });
                    if (++matches == 50) {
                        // Hold the walk here until the main thread has cancelled.
                        while (!released)
                            std::this_thread::yield();
                    }
                },
                stop);
        },
        [&](TaskOutcome<Results> outcome) { failure = outcome.failure; });
    ASSERT_TRUE(test::waitUntil([&] { return matches >= 50; }));
    task.cancel();
    released = true;
    ASSERT_TRUE(test::waitUntil([&] { return task.isFinished(); }));
    ASSERT_TRUE(failure);
    EXPECT_THROW(std::rethrow_exception(failure), discovery::CancellationError);
    EXPECT_EQ(matches, 50);
    EXPECT_EQ(kept.size(), 50u);
}

}  // namespace
}  // namespace kelvane::operations
