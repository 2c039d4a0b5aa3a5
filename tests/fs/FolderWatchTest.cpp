// SPDX-License-Identifier: MIT
// The watch below the mount: each kind of change reaches the sink as the
// change of a name (listing) or of attributes, against the folder's node,
// for the served folder and for folders watched later; a renamed-over name
// counts as a name change.

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

    std::filesystem::path at(const std::string& name) const { return dir_.path() / name; }

    kelvane::test::TempDir dir_;
    platform::UniqueFd folder_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::set<Heard> heard_;
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
