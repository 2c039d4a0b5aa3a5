// SPDX-License-Identifier: MIT
#include "operations/rows/FileStatusCache.h"

#include "OperationsTestSupport.h"

#include <gtest/gtest.h>


namespace kelvane::operations {
namespace {

using engine::CompressionType;
using engine::FileCompressionInfo;
using engine::FileCompressionStatus;

FileStatusEntry loaded(std::uint64_t logical, std::uint64_t physical, FileCompressionStatus status = {})
{
    return FileStatusEntry::loaded{FileCompressionInfo{status, logical, physical}};
}

TEST(FileStatusCache, EveryMutationRaisesTheVersionExactlyOnce)
{
    test::application();
    FileStatusCache cache;
    int announced = 0;
    QObject::connect(&cache, &FileStatusCache::versionChanged, [&] { ++announced; });

    cache.setEntries({});
    EXPECT_EQ(cache.version(), 0);
    EXPECT_EQ(announced, 0);

    // A batch with the same id twice: the later pair wins, one raise.
    cache.setEntries({{test::rowId("a"), loaded(10, 4096)}, {test::rowId("b"), FileStatusEntry::notFound{}}, {test::rowId("a"), FileStatusEntry::error{"x"}}});
    EXPECT_EQ(cache.version(), 1);
    EXPECT_EQ(announced, 1);
    EXPECT_EQ(cache.entry(test::rowId("a")), FileStatusEntry(FileStatusEntry::error{"x"}));
    EXPECT_EQ(cache.entries().size(), 2u);

    // Storing the same entry again still raises it.
    cache.setEntry(FileStatusEntry::error{"x"}, test::rowId("a"));
    EXPECT_EQ(cache.version(), 2);

    cache.removeAll();
    cache.removeAll();
    EXPECT_EQ(cache.version(), 4);
    EXPECT_EQ(announced, 4);
    EXPECT_TRUE(cache.entries().empty());
    EXPECT_EQ(cache.entry(test::rowId("never stored")), FileStatusEntry(FileStatusEntry::notInspected{}));

    cache.setVersion(4);
    EXPECT_EQ(announced, 4);
    cache.setVersion(9);
    EXPECT_EQ(announced, 5);
}

TEST(FileStatusCache, EntriesCompareByCaseAndPayload)
{
    EXPECT_NE(loaded(100, 4096), loaded(100, 8192));
    EXPECT_NE(loaded(100, 4096), loaded(101, 4096));
    EXPECT_EQ(loaded(100, 0, FileCompressionStatus::compressed{CompressionType::lzfseAttr, 100}),
              loaded(100, 0, FileCompressionStatus::compressed{CompressionType::lzfseAttr, 100}));
    EXPECT_NE(loaded(100, 0, FileCompressionStatus::compressed{CompressionType::lzfseAttr, 100}),
              loaded(100, 0, FileCompressionStatus::compressed{CompressionType::lzfseRsrc, 100}));
    EXPECT_NE(loaded(100, 0, FileCompressionStatus::compressed{CompressionType::lzfseAttr, 100}),
              loaded(100, 0, FileCompressionStatus::compressed{CompressionType::lzfseAttr, 101}));
    EXPECT_NE(loaded(100, 0, FileCompressionStatus::uncompressed{}),
              loaded(100, 0, FileCompressionStatus::incompressible{}));
    EXPECT_NE(FileStatusEntry(FileStatusEntry::error{"a"}), FileStatusEntry(FileStatusEntry::error{"b"}));
    EXPECT_NE(FileStatusEntry(FileStatusEntry::notInspected{}), FileStatusEntry(FileStatusEntry::notFound{}));
    EXPECT_EQ(FileStatusEntry(), FileStatusEntry(FileStatusEntry::notInspected{}));
}

TEST(FileStatusCache, SnapshotStaysAsItWasWhileTheCacheMovesOn)
{
    test::application();
    FileStatusCache cache;
    cache.setEntry(loaded(1, 2), test::rowId("kept"));
    const auto before = cache.snapshot();
    cache.setEntries({{test::rowId("kept"), FileStatusEntry::notFound{}}, {test::rowId("new"), loaded(3, 4)}});
    cache.removeAll();
    cache.setEntry(loaded(5, 6), test::rowId("after"));

    ASSERT_EQ(before->size(), 1u);
    EXPECT_EQ(before->at(test::rowId("kept")), loaded(1, 2));
    EXPECT_EQ(cache.entries().size(), 1u);
    EXPECT_EQ(cache.entry(test::rowId("after")), loaded(5, 6));
}

}  // namespace
}  // namespace kelvane::operations
