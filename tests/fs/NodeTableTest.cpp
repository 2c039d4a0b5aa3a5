// SPDX-License-Identifier: MIT
// The node table keeps exactly the lookups the kernel holds: a folder
// listing counts one per name it shows and gives back the names it could not
// probe, and a kept probe answers only for the inode it was taken of.

#include "fs/NodeTable.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>

namespace kelvane::fs::test {
namespace {

using Id = NodeTable::Id;

NodeTable::Probe probeOf(ino_t ino, timespec ctime, std::int64_t size)
{
    NodeTable::Probe probe;
    probe.view.ino = ino;
    probe.view.ctime = ctime;
    probe.view.size = size;
    probe.decoded = true;
    return probe;
}

TEST(NodeTableTest, AListingCountsOneLookupPerShownNameAndGivesBackTheGoneOnes)
{
    NodeTable nodes;
    const Id known = nodes.lookUp(NodeTable::rootId, "known");

    std::vector<NodeTable::Listed> listed = nodes.lookUpAll(NodeTable::rootId, {"known", "new", "gone"});
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[0].id, known);
    EXPECT_NE(listed[1].id, known);
    EXPECT_NE(listed[2].id, listed[1].id);
    listed[2].gone = true;
    nodes.settle(listed);

    // The gone name was looked up once and given back: nothing holds it.
    EXPECT_FALSE(nodes.path(listed[2].id));
    EXPECT_EQ(nodes.size(), 3u);  // the root, "known", "new"

    // "known" was looked up twice: it stays until the kernel forgets both.
    nodes.forget(known, 1);
    EXPECT_EQ(nodes.path(known), "known");
    nodes.forget(known, 1);
    EXPECT_FALSE(nodes.path(known));
    EXPECT_EQ(nodes.path(listed[1].id), "new");
    nodes.forget(listed[1].id, 1);
    EXPECT_EQ(nodes.size(), 1u);

    // Listed below a folder, names build their paths through it.
    const Id folder = nodes.lookUp(NodeTable::rootId, "folder");
    const auto inside = nodes.lookUpAll(folder, {"a", "b"});
    EXPECT_EQ(nodes.path(inside[1].id), "folder/b");
}

TEST(NodeTableTest, AKeptProbeHoldsUntilTheInodeOrItsChangeTimeMoves)
{
    NodeTable nodes;
    std::vector<NodeTable::Listed> first = nodes.lookUpAll(NodeTable::rootId, {"compressed", "plain"});
    EXPECT_FALSE(first[0].probe);
    first[0].probe = probeOf(7, {100, 5}, 5000);
    first[0].probed = true;
    // Probed but not afresh: what it carries is not stored.
    first[1].probe = probeOf(8, {100, 5}, 10);
    nodes.settle(first);

    const std::vector<NodeTable::Listed> again = nodes.lookUpAll(NodeTable::rootId, {"compressed", "plain"});
    ASSERT_TRUE(again[0].probe);
    EXPECT_EQ(again[0].probe->view.size, 5000);
    EXPECT_TRUE(again[0].probe->decoded);
    EXPECT_FALSE(again[1].probe);
    EXPECT_EQ(nodes.probe(first[0].id)->view.size, 5000);

    platform::FileStat raw;
    raw.ino = 7;
    raw.ctime = {100, 5};
    raw.size = 1234;  // the stored length: not what the probe is checked by
    EXPECT_TRUE(again[0].probe->holdsFor(raw));
    raw.ctime.tv_nsec = 6;  // changed since (Kelvane's swap, another program's write)
    EXPECT_FALSE(again[0].probe->holdsFor(raw));
    raw.ctime = {100, 5};
    raw.ino = 9;  // replaced by another file
    EXPECT_FALSE(again[0].probe->holdsFor(raw));
}

TEST(NodeTableTest, ListingsFromSeveralThreadsWithTheKernelForgettingLeaveOnlyTheRoot)
{
    NodeTable nodes;
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i)
        names.push_back("entry" + std::to_string(i));
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 random(t);
            for (int round = 0; round < 200; ++round) {
                std::vector<NodeTable::Listed> listed = nodes.lookUpAll(NodeTable::rootId, names);
                for (NodeTable::Listed& entry : listed) {
                    entry.gone = random() % 4 == 0;
                    entry.probed = !entry.gone;
                    entry.probe = probeOf(entry.id, {round, 0}, round);
                }
                nodes.settle(listed);
                for (const NodeTable::Listed& entry : listed)
                    if (!entry.gone)
                        nodes.forget(entry.id, 1);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(nodes.size(), 1u);
}

// The names of one inode are found by it while their probes say so: a name
// that another inode takes over, or that the kernel forgets, is no longer
// among them.
TEST(NodeTableTest, TheNamesOfAnInodeAreTheNodesWhoseProbesSaySo)
{
    NodeTable nodes;
    const Id folder = nodes.lookUp(NodeTable::rootId, "folder");
    const Id a = nodes.lookUp(NodeTable::rootId, "a");
    const Id b = nodes.lookUp(folder, "b");
    const Id c = nodes.lookUp(folder, "c");
    for (const Id id : {a, b, c})
        nodes.storeProbe(id, probeOf(7, {100, 0}, 10));
    nodes.storeProbe(b, probeOf(7, {101, 0}, 10));  // changed, the same inode
    EXPECT_EQ(nodes.nodesOf(0, 7), (std::vector<Id>{a, b, c}));
    EXPECT_EQ(nodes.otherNames(b), (std::vector<Id>{a, c}));

    nodes.storeProbe(c, probeOf(8, {102, 0}, 10));  // another file at the name
    EXPECT_EQ(nodes.otherNames(a), (std::vector<Id>{b}));
    EXPECT_EQ(nodes.nodesOf(0, 8), (std::vector<Id>{c}));
    EXPECT_TRUE(nodes.otherNames(c).empty());

    nodes.forget(b, 1);
    EXPECT_EQ(nodes.nodesOf(0, 7), (std::vector<Id>{a}));
    EXPECT_TRUE(nodes.otherNames(a).empty());
    nodes.forget(c, 1);
    EXPECT_TRUE(nodes.nodesOf(0, 8).empty());
}

}  // namespace
}  // namespace kelvane::fs::test
