// SPDX-License-Identifier: MIT
// The watch below the mount: each kind of change reaches the sink as the
// change of a name (listing) or of attributes, against the folder's node,
// for the served folder and for folders watched later; a renamed-over name
// counts as a name change. The mount's own name changes are not echoed, and
// nothing expected for them ever swallows another program's change.

#include "fs/FolderWatch.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace kelvane::fs {
namespace {

using Change = FolderWatch::Change;
using Heard = std::tuple<Change, NodeTable::Id, std::string>;

class FolderWatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_.reset(::open(dir_.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        ASSERT_TRUE(folder_);
        std::filesystem::create_directories(dir_.path() / "sub");
    }

    void start(FolderWatch& watch)
    {
        ASSERT_TRUE(watch.start([this](Change change, NodeTable::Id folder, const std::string& name) {
            std::lock_guard lock(mutex_);
            heard_.insert({change, folder, name});
            changed_.notify_all();
        }));
    }

    // Waits (generously: the events come from another thread) until `wanted` was heard.
    bool heard(const Heard& wanted)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(30), [&] { return heard_.contains(wanted); });
    }

    // How many times `wanted` was told: the events come in order, so once
    // a later change of `marker` is heard every earlier one was told.
    std::size_t toldBefore(const Heard& wanted, const std::string& marker)
    {
        std::ofstream(at(marker)) << "marker";
        EXPECT_TRUE(heard({Change::names, NodeTable::rootId, marker}));
        std::lock_guard lock(mutex_);
        return heard_.count(wanted);
    }

    std::filesystem::path at(const std::string& name) const { return dir_.path() / name; }

    kelvane::test::TempDir dir_;
    platform::UniqueFd folder_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::multiset<Heard> heard_;  // each event told once per telling
};

TEST_F(FolderWatchTest, EveryKindOfChangeReachesTheSinkForItsFolder)
{
    FolderWatch watch(folder_.get());
    start(watch);
    constexpr NodeTable::Id subNode = 7;
    ASSERT_TRUE(watch.watch(subNode, "sub"));
    EXPECT_TRUE(watch.complete());

    std::ofstream(at("a.txt")) << "one";
    EXPECT_TRUE(heard({Change::names, NodeTable::rootId, "a.txt"}));
    std::ofstream(at("a.txt"), std::ios::app) << "two";
    EXPECT_TRUE(heard({Change::contents, NodeTable::rootId, "a.txt"}));
    ASSERT_EQ(::chmod(at("a.txt").c_str(), 0600), 0);
    EXPECT_TRUE(heard({Change::attributes, NodeTable::rootId, "a.txt"}));
    ASSERT_EQ(::chmod(at("sub").c_str(), 0700), 0);
    EXPECT_TRUE(heard({Change::attributes, subNode, ""}));  // the folder itself

    std::ofstream(at("sub/b.tmp")) << "swap";
    ASSERT_EQ(::rename(at("sub/b.tmp").c_str(), at("sub/b.txt").c_str()), 0);
    EXPECT_TRUE(heard({Change::names, subNode, "b.txt"}));
    // Kelvane's temporary file gets its marker after it appears: that
    // changes the listing, which hides it from then on.
    std::ofstream(at("sub/c.txt.kvtmp")) << "temporary";
    ASSERT_TRUE(heard({Change::names, subNode, "c.txt.kvtmp"}));
    {
        std::lock_guard lock(mutex_);
        heard_.erase({Change::names, subNode, "c.txt.kvtmp"});
    }
    ASSERT_EQ(::chmod(at("sub/c.txt.kvtmp").c_str(), 0644), 0);
    EXPECT_TRUE(heard({Change::names, subNode, "c.txt.kvtmp"}));
    ASSERT_EQ(::unlink(at("sub/b.txt").c_str()), 0);
    EXPECT_TRUE(heard({Change::names, subNode, "b.txt"}));
    watch.stop();
}

TEST_F(FolderWatchTest, TheMountsOwnNameChangesAreNotEchoedAndLeftoversSwallowNothing)
{
    using Echo = FolderWatch::Echo;
    constexpr NodeTable::Id root = NodeTable::rootId;
    FolderWatch watch(folder_.get());
    start(watch);
    constexpr NodeTable::Id subNode = 7;
    ASSERT_TRUE(watch.watch(subNode, "sub"));
    EXPECT_FALSE(watch.expect(8, "x", Echo::created));  // not a watched folder

    // Made by the mount: created, renamed into another folder, removed.
    ASSERT_TRUE(watch.expect(root, "made", Echo::created));
    std::ofstream(at("made")) << "one";
    ASSERT_TRUE(watch.expect(root, "made", Echo::movedFrom));
    ASSERT_TRUE(watch.expect(subNode, "moved", Echo::movedTo));
    ASSERT_EQ(::rename(at("made").c_str(), at("sub/moved").c_str()), 0);
    ASSERT_TRUE(watch.expect(subNode, "moved", Echo::removed));
    ASSERT_EQ(::unlink(at("sub/moved").c_str()), 0);
    EXPECT_EQ(toldBefore({Change::names, root, "made"}, "marker1"), 0u);
    EXPECT_EQ(toldBefore({Change::names, subNode, "moved"}, "marker2"), 0u);

    // A creation that found the file there made no event: the next
    // creation of that name, after it went, is another program's.
    std::ofstream(at("there")) << "old";
    ASSERT_EQ(toldBefore({Change::names, root, "there"}, "marker3"), 1u);
    ASSERT_TRUE(watch.expect(root, "there", Echo::created));
    ::close(::open(at("there").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    ASSERT_EQ(::unlink(at("there").c_str()), 0);
    std::ofstream(at("there")) << "new";
    EXPECT_EQ(toldBefore({Change::names, root, "there"}, "marker4"), 3u);  // its deletion and its creation

    // A change that failed: the event taken for it was another's, told now.
    ASSERT_TRUE(watch.expect(root, "raced", Echo::created));
    std::ofstream(at("raced")) << "another program's";
    ASSERT_EQ(toldBefore({Change::names, root, "raced"}, "marker5"), 0u);
    watch.unexpect(root, "raced", Echo::created);
    EXPECT_TRUE(heard({Change::names, root, "raced"}));
    // Unused, an expectation is simply given back.
    ASSERT_TRUE(watch.expect(root, "unused", Echo::created));
    watch.unexpect(root, "unused", Echo::created);
    std::ofstream(at("unused")) << "another program's";
    EXPECT_EQ(toldBefore({Change::names, root, "unused"}, "marker6"), 1u);
    watch.stop();
}

TEST_F(FolderWatchTest, AFolderThatCannotBeWatchedEndsTheLongKeeping)
{
    FolderWatch watch(folder_.get());
    start(watch);
    EXPECT_TRUE(watch.complete());
    std::ofstream(at("file")) << "not a folder";
    EXPECT_FALSE(watch.watch(9, "file"));
    EXPECT_FALSE(watch.complete());
    EXPECT_FALSE(watch.watch(10, "missing"));
}

}  // namespace
}  // namespace kelvane::fs
