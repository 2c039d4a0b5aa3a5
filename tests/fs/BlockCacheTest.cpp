// SPDX-License-Identifier: MIT
// The cache of decoded blocks hands every reader the file's own bytes, also
// once it recycles the buffers of evicted blocks: a block someone still
// holds keeps its bytes whatever is decoded after it.

#include "fs/BlockCache.h"

#include "engine/FileCompressor.h"
#include "platform/DecmpfsFormat.h"
#include "platform/FileHandle.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>
#include <sys/stat.h>
#include <thread>

namespace kelvane::fs::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kBlock = decmpfs::blockSize;

// Every block differs from every other (its number is in each line), and
// the file compresses.
Bytes numberedLines(std::size_t count)
{
    Bytes out;
    for (std::size_t i = 0; out.size() < count; ++i) {
        const std::string line = "line " + std::to_string(i) + " of the numbered file\n";
        out.insert(out.end(), line.begin(), line.end());
    }
    out.resize(count);
    return out;
}

class BlockCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        original_ = numberedLines(40 * kBlock + 1234);
        const auto path = dir_ / "numbered.txt";
        kelvane::test::writeRawFile(path, original_);
        engine::FileCompressor{}.compressFile(path);
        auto handle = platform::FileHandle::openForReading(path);
        ASSERT_TRUE(handle);
        ASSERT_TRUE(handle->decodes());
        handle_ = std::make_shared<const platform::FileHandle>(std::move(*handle));
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        key_ = {st.st_dev, st.st_ino, st.st_ctim.tv_sec, st.st_ctim.tv_nsec};
    }

    std::size_t blockCount() const { return (original_.size() + kBlock - 1) / kBlock; }

    // Whether `block` holds exactly block `index` of the original.
    ::testing::AssertionResult holdsBlock(const BlockCache::Block& block, std::uint64_t index) const
    {
        if (!block)
            return ::testing::AssertionFailure() << "block " << index << " missing";
        const std::size_t start = index * kBlock;
        const std::size_t length = std::min(kBlock, original_.size() - start);
        if (block->size() != length)
            return ::testing::AssertionFailure() << "block " << index << " has " << block->size() << " bytes";
        if (std::memcmp(block->data(), original_.data() + start, length) != 0)
            return ::testing::AssertionFailure() << "block " << index << " differs";
        return ::testing::AssertionSuccess();
    }

    kelvane::test::TempDir dir_;
    Bytes original_;
    std::shared_ptr<const platform::FileHandle> handle_;
    BlockCache::FileKey key_;
};

TEST_F(BlockCacheTest, HeldBlocksKeepTheirBytesWhileEvictedBuffersAreRecycled)
{
    // Room for four blocks: reading the file through it evicts nearly every block.
    BlockCache cache(4 * kBlock, 2);
    const BlockCache::Block first = cache.get(key_, handle_, 0);
    const BlockCache::Block seventh = cache.get(key_, handle_, 7);
    for (std::uint64_t pass = 0; pass < 3; ++pass) {
        for (std::uint64_t index = 0; index < blockCount(); ++index) {
            cache.prefetch(key_, handle_, index + 1, 6);
            EXPECT_TRUE(holdsBlock(cache.get(key_, handle_, index), index));
        }
        // Long evicted, their buffers never handed to another decode.
        EXPECT_TRUE(holdsBlock(first, 0));
        EXPECT_TRUE(holdsBlock(seventh, 7));
    }
    EXPECT_LE(cache.bytesHeld(), cache.capacity());

    // Buffers are kept for reuse, and no more than the bound.
    EXPECT_GT(cache.spareBuffers(), 0u);
    EXPECT_LE(cache.spareBuffers(), BlockCache::kMaxSpareBuffers);
    // The last block is shorter than the buffer it is decoded into.
    EXPECT_TRUE(holdsBlock(cache.get(key_, handle_, blockCount() - 1), blockCount() - 1));
    // Past the end there is nothing to read.
    const BlockCache::Block past = cache.get(key_, handle_, blockCount());
    ASSERT_TRUE(past);
    EXPECT_EQ(past->size(), 0u);
}

TEST_F(BlockCacheTest, ReadersOnSeveralThreadsWithReadAheadAlwaysGetTheFilesBytes)
{
    // A small cache, so that blocks are evicted and buffers recycled while
    // other threads still copy from theirs.
    BlockCache cache(6 * kBlock, 2);
    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (unsigned seed = 1; seed <= 4; ++seed) {
        readers.emplace_back([&, seed] {
            std::mt19937 random(seed);
            std::vector<std::pair<std::uint64_t, BlockCache::Block>> held;
            for (int turn = 0; turn < 400; ++turn) {
                const std::uint64_t index = random() % blockCount();
                if (turn % 3 == 0)
                    cache.prefetch(key_, handle_, index + 1, 4);
                held.emplace_back(index, cache.get(key_, handle_, index));
                // Hold a few blocks for a while, as a reply being written does.
                if (held.size() > 3) {
                    for (const auto& [at, block] : held)
                        if (!holdsBlock(block, at))
                            ++wrong;
                    held.clear();
                }
            }
        });
    }
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_LE(cache.bytesHeld(), cache.capacity());
}

}  // namespace
}  // namespace kelvane::fs::test
