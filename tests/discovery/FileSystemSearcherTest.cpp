// SPDX-License-Identifier: MIT
#include "discovery/CancellationError.h"
#include "discovery/FileSystemSearchError.h"
#include "discovery/FileSystemSearcher.h"

#include "SearchTree.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

namespace kd = kelvane::discovery;
namespace fs = std::filesystem;
using kd::FileSystemSearcher;
using kd::SearchCriteria;
using kd::SearchProgress;
using kelvane::test::makeFile;

namespace {

constexpr std::time_t kOld = 1'600'000'000;  // 2020
constexpr std::time_t kNew = 1'700'000'000;  // 2023

SearchCriteria everything(const fs::path& root, bool recursive = true) {
    return SearchCriteria{root, recursive, std::nullopt, std::nullopt, std::nullopt, std::nullopt, false, false};
}

std::set<std::string> names(const FileSystemSearcher::Results& results, const fs::path& root) {
    std::set<std::string> out;
    for (const auto& c : results) out.insert(c.url.lexically_relative(root).string());
    return out;
}

class FileSystemSearcherTest : public ::testing::Test {
protected:
    fs::path root() const { return temp.path() / "root"; }
    kelvane::test::TempDir temp;
};

TEST_F(FileSystemSearcherTest, CriteriaSelectTheRightFiles) {
    makeFile(root() / "old-small.txt", 10, kOld);
    makeFile(root() / "old-big.log", 5'000'000, kOld);
    makeFile(root() / "new-big.TXT", 5'000'000, kNew);
    makeFile(root() / "sub/deep/old-mid.bin", 50'000, kOld);
    makeFile(root() / "sub/.dot-hidden.txt", 100, kOld);
    makeFile(root() / "sub/flag-hidden.txt", 100, kOld);
    kelvane::test::addFlags(root() / "sub/flag-hidden.txt", kelvane::platform::UF_HIDDEN);
    kelvane::test::makeCompressedFile(root() / "sub/packed.txt", 3000);
    makeFile(root() / ".hidden-dir/inside.txt", 100, kOld);

    const FileSystemSearcher searcher(FileSystemSearcher::compressedFlagChecker);
    auto criteria = everything(root());
    EXPECT_EQ(names(searcher.search(criteria), root()),
              (std::set<std::string>{"old-small.txt", "old-big.log", "new-big.TXT", "sub/deep/old-mid.bin",
                                     "sub/.dot-hidden.txt", "sub/flag-hidden.txt", "sub/packed.txt",
                                     ".hidden-dir/inside.txt"}));

    criteria.modifiedBefore = std::chrono::system_clock::from_time_t(kOld + 1);
    criteria.minSize = 1'000;
    criteria.maxSize = 5'000'000;
    EXPECT_EQ(names(searcher.search(criteria), root()),
              (std::set<std::string>{"old-big.log", "sub/deep/old-mid.bin"}));

    criteria = everything(root());
    criteria.extensionFilter = kd::ExtensionFilter(kd::ExtensionFilter::includeOnly{{"txt"}});
    criteria.excludeHidden = true;
    criteria.excludeAlreadyCompressed = true;
    // A file inside a hidden folder is not hidden itself.
    EXPECT_EQ(names(searcher.search(criteria), root()),
              (std::set<std::string>{"old-small.txt", "new-big.TXT", ".hidden-dir/inside.txt"}));

    criteria.extensionFilter = kd::ExtensionFilter(kd::ExtensionFilter::exclude{{"txt", "log"}});
    criteria.excludeHidden = false;
    criteria.excludeAlreadyCompressed = false;
    EXPECT_EQ(names(searcher.search(criteria), root()), (std::set<std::string>{"sub/deep/old-mid.bin"}));
}

TEST_F(FileSystemSearcherTest, CandidatesCarryTheFileFacts) {
    makeFile(root() / "a.dat", 12'345, kOld, 123'456'789);
    makeFile(root() / "h/.b", 7, kNew);
    kelvane::test::makeCompressedFile(root() / "c.txt", 4'000);

    std::atomic<int> checks = 0;
    const FileSystemSearcher searcher([&](const fs::path& url) {
        ++checks;
        return FileSystemSearcher::compressedFlagChecker(url);
    });
    auto results = searcher.search(everything(root()));
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(checks.load(), 3);  // asked once per regular file
    std::map<std::string, kd::FileCandidate> byName;
    for (auto& c : results) byName.emplace(c.url.filename().string(), c);

    const auto& a = byName.at("a.dat");
    EXPECT_EQ(a.url, root() / "a.dat");
    EXPECT_EQ(a.size, 12'345u);
    EXPECT_EQ(a.modificationDate,
              std::chrono::system_clock::from_time_t(kOld) + std::chrono::nanoseconds(123'456'789));
    EXPECT_FALSE(a.isHidden);
    EXPECT_FALSE(a.isAlreadyCompressed);

    EXPECT_TRUE(byName.at(".b").isHidden);
    // The logical size of a compressed file, not its empty data stream.
    EXPECT_EQ(byName.at("c.txt").size, 4'000u);
    EXPECT_TRUE(byName.at("c.txt").isAlreadyCompressed);

    // The date bound is inclusive to the nanosecond, also when the date alone
    // rules files out before their status is read.
    auto byDate = everything(root());
    byDate.modifiedBefore = a.modificationDate;
    EXPECT_EQ(names(FileSystemSearcher().search(byDate), root()), (std::set<std::string>{"a.dat"}));
    byDate.modifiedBefore = a.modificationDate - std::chrono::nanoseconds(1);
    EXPECT_TRUE(FileSystemSearcher().search(byDate).empty());

    // A checker of its own sees every regular file, also those the name rules out.
    checks = 0;
    auto onlyDat = everything(root());
    onlyDat.extensionFilter = kd::ExtensionFilter(kd::ExtensionFilter::includeOnly{{"dat"}});
    onlyDat.excludeHidden = true;
    EXPECT_EQ(searcher.search(onlyDat).size(), 1u);
    EXPECT_EQ(checks.load(), 3);

    // The default checker flags nothing, so the exclusion removes nothing.
    auto criteria = everything(root());
    criteria.excludeAlreadyCompressed = true;
    EXPECT_EQ(FileSystemSearcher().search(criteria).size(), 3u);
}

TEST_F(FileSystemSearcherTest, RootChecks) {
    const FileSystemSearcher searcher;
    bool reported = false;
    auto progress = [&](const SearchProgress&) { reported = true; };

    const auto missing = temp.path() / "missing";
    try {
        searcher.search(everything(missing), progress);
        FAIL() << "no error";
    } catch (const kd::FileSystemSearchError& e) {
        EXPECT_EQ(e, kd::FileSystemSearchError(kd::FileSystemSearchError::rootNotFound{missing}));
        EXPECT_EQ(e.description(), "rootNotFound(\"" + missing.string() + "\")");
    }
    makeFile(temp.path() / "file.txt", 1);
    try {
        searcher.search(everything(temp.path() / "file.txt"), progress);
        FAIL() << "no error";
    } catch (const kd::FileSystemSearchError& e) {
        EXPECT_EQ(e, kd::FileSystemSearchError(kd::FileSystemSearchError::rootNotADirectory{temp.path() / "file.txt"}));
    }
    fs::create_symlink(temp.path() / "nowhere", temp.path() / "dangling");
    EXPECT_THROW(searcher.search(everything(temp.path() / "dangling"), progress), kd::FileSystemSearchError);
    EXPECT_FALSE(reported);

    // A link at the root is followed; the paths stay under the link.
    makeFile(root() / "x.txt", 1);
    fs::create_directory_symlink(root(), temp.path() / "link");
    const auto results = searcher.search(everything(temp.path() / "link"));
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].url, temp.path() / "link/x.txt");

    // An empty folder: no results, one report of nothing.
    fs::create_directory(temp.path() / "empty");
    std::vector<SearchProgress> reports;
    EXPECT_TRUE(searcher.search(everything(temp.path() / "empty"), [&](const SearchProgress& p) { reports.push_back(p); })
                    .empty());
    EXPECT_EQ(reports, (std::vector<SearchProgress>{{0, 0}}));
}

TEST_F(FileSystemSearcherTest, NonRecursiveCountsSubfoldersWithoutEnteringThem) {
    makeFile(root() / "a.txt");
    makeFile(root() / "b.txt");
    makeFile(root() / "sub/c.txt");
    SearchProgress last;
    const auto results = FileSystemSearcher().search(everything(root(), false), [&](const SearchProgress& p) { last = p; });
    EXPECT_EQ(names(results, root()), (std::set<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(last, (SearchProgress{3, 2}));
}

TEST_F(FileSystemSearcherTest, PackagesAreSkippedUnlessInsideAnArchive) {
    makeFile(root() / "Tool.app/Contents/MacOS/tool");
    makeFile(root() / "Thing.Bundle/x");
    makeFile(root() / "plain/y.txt");
    makeFile(root() / "Build.xcarchive/Info.plist");
    makeFile(root() / "Build.xcarchive/Products/Applications/App.app/Contents/bin");
    makeFile(root() / "Old.XCArchive/dSYMs/z");

    SearchProgress last;
    const auto results = FileSystemSearcher().search(everything(root()), [&](const SearchProgress& p) { last = p; });
    EXPECT_EQ(names(results, root()),
              (std::set<std::string>{"plain/y.txt", "Build.xcarchive/Info.plist",
                                     "Build.xcarchive/Products/Applications/App.app/Contents/bin",
                                     "Old.XCArchive/dSYMs/z"}));
    // Counted: plain, y.txt; Build.xcarchive and its 6 entries; Old.XCArchive, dSYMs, z.
    // Not counted: the two skipped packages.
    EXPECT_EQ(last.scanned, 2 + 7 + 3);

    // A root that is a package itself is searched inside.
    const auto inApp = FileSystemSearcher().search(everything(root() / "Tool.app"));
    EXPECT_EQ(names(inApp, root() / "Tool.app"), (std::set<std::string>{"Contents/MacOS/tool"}));
}

TEST_F(FileSystemSearcherTest, SymbolicLinksAreCountedButNeverFollowed) {
    makeFile(root() / "real/file.txt");
    fs::create_symlink(root() / "real/file.txt", root() / "link-to-file");
    fs::create_directory_symlink(root() / "real", root() / "link-to-dir");
    // A loop: following it would never end.
    fs::create_directory_symlink(root(), root() / "real/loop");
    SearchProgress last;
    const auto results = FileSystemSearcher().search(everything(root()), [&](const SearchProgress& p) { last = p; });
    EXPECT_EQ(names(results, root()), (std::set<std::string>{"real/file.txt"}));
    EXPECT_EQ(last, (SearchProgress{5, 1}));  // real, file.txt, loop, two links
}

TEST_F(FileSystemSearcherTest, ProgressEveryHundredEntriesAndAtTheEnd) {
    for (int i = 0; i < 250; ++i) makeFile(root() / ("f" + std::to_string(i) + (i % 2 ? ".a" : ".b")));
    std::vector<SearchProgress> reports;
    auto criteria = everything(root());
    criteria.extensionFilter = kd::ExtensionFilter(kd::ExtensionFilter::includeOnly{{"a"}});
    const auto results = FileSystemSearcher().search(criteria, [&](const SearchProgress& p) { reports.push_back(p); });
    ASSERT_EQ(results.size(), 125u);
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0].scanned, 100);
    EXPECT_EQ(reports[1].scanned, 200);
    EXPECT_EQ(reports[2], (SearchProgress{250, 125}));
    EXPECT_LE(reports[0].matched, reports[1].matched);

    // Exactly 200 entries: the figures at 200 are reported twice.
    for (int i = 0; i < 50; ++i) fs::remove(root() / ("f" + std::to_string(200 + i) + (i % 2 ? ".a" : ".b")));
    reports.clear();
    FileSystemSearcher().search(everything(root()), [&](const SearchProgress& p) { reports.push_back(p); });
    EXPECT_EQ(reports, (std::vector<SearchProgress>{{100, 100}, {200, 200}, {200, 200}}));
}

TEST_F(FileSystemSearcherTest, MatchIsDeliveredBeforeTheReportThatCountsIt) {
    for (int i = 0; i < 100; ++i) makeFile(root() / ("f" + std::to_string(i)));
    std::vector<std::string> events;
    std::int64_t matchedSoFar = 0;
    FileSystemSearcher().search(
        everything(root()),
        [&](const SearchProgress& p) {
            events.push_back("progress");
            EXPECT_EQ(p.matched, matchedSoFar);
        },
        [&](const kd::FileCandidate&) {
            ++matchedSoFar;
            events.push_back("match");
        });
    ASSERT_EQ(events.size(), 102u);
    EXPECT_EQ(events[99], "match");
    EXPECT_EQ(events[100], "progress");
    EXPECT_EQ(events[101], "progress");
}

TEST_F(FileSystemSearcherTest, CancellationStopsAtTheNextEntry) {
    for (int i = 0; i < 1000; ++i) makeFile(root() / ("d" + std::to_string(i % 10)) / ("f" + std::to_string(i)));

    std::stop_source source;
    int matches = 0;
    std::vector<SearchProgress> reports;
    EXPECT_THROW(FileSystemSearcher().search(
                     everything(root()), [&](const SearchProgress& p) { reports.push_back(p); },
                     [&](const kd::FileCandidate&) {
                         if (++matches == 50) source.request_stop();
                     },
                     source.get_token()),
                 kd::CancellationError);
    EXPECT_EQ(matches, 50);
    EXPECT_TRUE(reports.empty());  // no report at 100, no final one

    // A token already stopped fails before anything is read.
    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_THROW(FileSystemSearcher().search(everything(temp.path() / "missing"), {}, {}, stopped.get_token()),
                 kd::CancellationError);
}

// Root reads any folder, so the search runs in a child process that has given
// up root; the test then checks what the child reported through a pipe.
TEST_F(FileSystemSearcherTest, UnreadableFoldersAreSkipped) {
    makeFile(root() / "a/one.txt");
    makeFile(root() / "locked/secret.txt");
    makeFile(root() / "z/two.txt");
    fs::permissions(temp.path(), fs::perms::all, fs::perm_options::add);
    fs::permissions(root() / "locked", fs::perms::none);

    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeFds[0]);
        std::string report = "error";
        if (::getuid() != 0 || ::setresuid(65534, 65534, 65534) == 0) {
            try {
                SearchProgress last;
                const auto results = FileSystemSearcher().search(everything(root()), [&](const SearchProgress& p) { last = p; });
                report = std::to_string(results.size()) + " " + std::to_string(last.scanned);
                for (const auto& c : results) report += " " + c.url.filename().string();
            } catch (...) {
                report = "threw";
            }
        }
        [[maybe_unused]] auto n = ::write(pipeFds[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string report;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) report.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    fs::permissions(root() / "locked", fs::perms::owner_all);
    // a, one.txt, locked (counted, not entered), z, two.txt; order of the folders is the file system's.
    EXPECT_TRUE(report == "2 5 one.txt two.txt" || report == "2 5 two.txt one.txt") << report;
}

}  // namespace
