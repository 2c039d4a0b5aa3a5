// SPDX-License-Identifier: MIT
#include "discovery/CancellationError.h"
#include "discovery/DirectoryWalker.h"
#include "platform/FileSystem.h"
#include "platform/LogStore.h"

#include "SearchTree.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace kd = kelvane::discovery;
using kd::DirectoryWalker;
using Type = kelvane::platform::DirectoryEntry::Type;

namespace {

// Folders three deep, a few hundred entries, so that helpers read ahead.
void makeTree(const std::filesystem::path& root) {
    for (int a = 0; a < 6; ++a)
        for (int b = 0; b < 6; ++b)
            for (int c = 0; c < 4; ++c)
                kelvane::test::makeFile(root / ("a" + std::to_string(a)) / ("b" + std::to_string(b)) /
                                        ("c" + std::to_string(c)) / "f");
}

TEST(DirectoryWalkerTest, VisitsEachEntryOnceDepthFirst) {
    kelvane::test::TempDir temp;
    const auto root = temp.path().string();
    makeTree(root);
    std::vector<std::string> order;
    std::atomic<int> prepared = 0;
    std::atomic<int> foundByName = 0;
    DirectoryWalker::walk(root, true, {},
                          [&](DirectoryWalker::Entry& e) {
                              ++prepared;
                              // The entry's folder is open: its name leads to the entry itself.
                              kelvane::platform::FileStat byName, byPath;
                              if (kelvane::platform::lstatAt(e.directoryFd, e.name(), "/nonexistent", byName) == 0 &&
                                  kelvane::platform::lstat(e.path, byPath) == 0 && byName.ino == byPath.ino)
                                  ++foundByName;
                          },
                          [&](const DirectoryWalker::Entry& e) {
                              EXPECT_EQ(e.path.substr(e.nameOffset), std::string(e.name()));
                              EXPECT_EQ(e.directoryFd, -1);  // closed by the time of the visit
                              order.push_back(e.path);
                          });
    // 6 + 36 + 144 folders and 144 files.
    ASSERT_EQ(order.size(), 6u + 36u + 144u + 144u);
    EXPECT_EQ(prepared.load(), static_cast<int>(order.size()));
    EXPECT_EQ(foundByName.load(), prepared.load());
    std::map<std::string, std::size_t> position;
    for (std::size_t i = 0; i < order.size(); ++i) EXPECT_TRUE(position.emplace(order[i], i).second) << order[i];
    // Everything below a folder comes right after it, before anything else.
    for (std::size_t i = 0; i < order.size(); ++i) {
        const auto prefix = order[i] + "/";
        std::size_t j = i + 1;
        while (j < order.size() && order[j].starts_with(prefix)) ++j;
        for (std::size_t k = j; k < order.size(); ++k) ASSERT_FALSE(order[k].starts_with(prefix)) << order[k];
    }

    order.clear();
    DirectoryWalker::walk(root, false, {}, {}, [&](const DirectoryWalker::Entry& e) {
        EXPECT_EQ(e.type, Type::directory);
        order.push_back(e.path);
    });
    EXPECT_EQ(order.size(), 6u);
}

TEST(DirectoryWalkerTest, FailuresOfPreparationAndStopsReachTheCaller) {
    kelvane::test::TempDir temp;
    makeTree(temp.path());
    int visits = 0;
    EXPECT_THROW(DirectoryWalker::walk(
                     temp.path(), true, {},
                     [](DirectoryWalker::Entry& e) {
                         if (e.name() == "c3") throw std::runtime_error("prepare");
                     },
                     [&](const DirectoryWalker::Entry&) { ++visits; }),
                 std::runtime_error);
    EXPECT_GT(visits, 0);

    std::stop_source stop;
    visits = 0;
    EXPECT_THROW(DirectoryWalker::walk(temp.path(), true, stop.get_token(), {},
                                       [&](const DirectoryWalker::Entry&) {
                                           if (++visits == 10) stop.request_stop();
                                       }),
                 kd::CancellationError);
    EXPECT_EQ(visits, 10);
}

// Folders nested past the host's path limit: every entry is still visited
// once, those whose path reaches the limit as unreadable (type unknown, never
// prepared, logged), and the files below them are counted all the same.
TEST(DirectoryWalkerTest, EntriesBeyondThePathLimitAreVisitedAsUnreadable) {
    kelvane::test::TempDir temp;
    temp.useAsHome();
    const std::string component(200, 'd');
    constexpr int depth = 22;  // 22 x 201 bytes: past 4096 whatever the temporary folder's path
    std::vector<int> fds{::open(temp.path().c_str(), O_RDONLY | O_DIRECTORY)};
    for (int level = 0; level < depth; ++level) {
        ASSERT_EQ(::mkdirat(fds.back(), component.c_str(), 0700), 0);
        fds.push_back(::openat(fds.back(), component.c_str(), O_RDONLY | O_DIRECTORY));
        ASSERT_GE(fds.back(), 0);
        const int file = ::openat(fds.back(), "f.txt", O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(file, 0);
        ::close(file);
    }

    const auto since = std::chrono::system_clock::now() - std::chrono::seconds(1);
    std::map<int, int> filesByLevel;  // level -> files visited there
    int unreadable = 0;
    std::atomic<int> preparedBeyond = 0;
    DirectoryWalker::walk(
        temp.path(), true, {},
        [&](DirectoryWalker::Entry& e) {
            if (e.path.size() >= PATH_MAX) ++preparedBeyond;
        },
        [&](const DirectoryWalker::Entry& e) {
            if (e.name() != "f.txt") return;
            const int level = static_cast<int>((e.path.size() - temp.path().native().size()) / 201);
            ++filesByLevel[level];
            if (e.path.size() >= PATH_MAX) {
                EXPECT_EQ(e.type, Type::unknown);
                ++unreadable;
            } else {
                EXPECT_EQ(e.type, Type::regular);
            }
        });
    EXPECT_EQ(preparedBeyond.load(), 0);
    EXPECT_EQ(filesByLevel.size(), static_cast<std::size_t>(depth));
    for (const auto& [level, count] : filesByLevel)
        EXPECT_EQ(count, 1) << "level " << level;
    EXPECT_GE(unreadable, 2);
    int logged = 0;
    for (const auto& entry : kelvane::platform::LogStore::currentProcess().entries(since))
        if (entry.message == "entry beyond the path limit not read: <private>") ++logged;
    EXPECT_GE(logged, unreadable) << "every entry beyond the limit is logged (folders too)";

    // Taken down from the bottom: the tree is too deep to be removed by path.
    for (int level = depth; level > 0; --level) {
        ::unlinkat(fds[level], "f.txt", 0);
        ::unlinkat(fds[level - 1], component.c_str(), AT_REMOVEDIR);
    }
    for (const int fd : fds) ::close(fd);
}

}  // namespace

