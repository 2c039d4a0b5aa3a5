// SPDX-License-Identifier: MIT
#include "engine/SwapBatch.h"

#include "EngineFixtures.h"

#include "engine/FileCompressionError.h"
#include "engine/TemporaryFile.h"

#include <future>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace kelvane::engine::fixtures {
namespace {

struct Heard {
    std::map<Path, SwapBatch::Outcome> outcomes;
    SwapBatch::Done doneFor(const Path& file)
    {
        return [this, file](SwapBatch::Outcome outcome) { outcomes[file] = std::move(outcome); };
    }
};

std::optional<FileCompressionError::Kind> failureKind(const SwapBatch::Outcome& outcome)
{
    if (!outcome.failure)
        return std::nullopt;
    try {
        std::rethrow_exception(outcome.failure);
    } catch (const FileCompressionError& error) {
        return error.kind();
    }
}

// `count` text files named `prefix`0.txt, ...: file i holds
// textBytes(size + step * i, seed + i).
std::vector<Path> writeTextFiles(const test::TempDir& dir, const std::string& prefix, std::size_t count,
                                 std::size_t size, std::size_t step, unsigned seed)
{
    std::vector<Path> files;
    for (std::size_t i = 0; i < count; ++i) {
        files.push_back(dir / (prefix + std::to_string(i) + ".txt"));
        test::writeRawFile(files.back(), textBytes(size + step * i, seed + static_cast<unsigned>(i)));
    }
    return files;
}

TEST(SwapBatchTest, FilesAreSwappedInOnlyAtTheCommitAndAFileChangedMeanwhileIsLeftAlone)
{
    test::TempDir dir;
    const std::vector<Path> files = writeTextFiles(dir, "f", 5, 60000, 1000, 0);
    const Bytes appended = textBytes(100, 99);
    Heard heard;
    {
        SwapBatch batch(SwapBatch::Limits{100, std::int64_t{1} << 40, std::chrono::hours(1)});
        for (const Path& file : files)
            FileCompressor().compressFile(file, FileCompressor::streamingThreshold, batch, heard.doneFor(file));
        // Prepared, proven and waiting: nothing has changed yet, and the
        // files stay locked against a second operation.
        EXPECT_TRUE(heard.outcomes.empty());
        for (const Path& file : files) {
            EXPECT_FALSE(isCompressed(file));
            EXPECT_TRUE(pathExists(TemporaryFile::pathFor(file)));
        }
        EXPECT_EQ(thrown<FileCompressionError>([&] { FileCompressor().compressFile(files[0]); }).kind(),
                  FileCompressionError::Kind::fileInUse);

        // Another program appends to one of them before the commit.
        Bytes grown = test::readRawFile(files[2]);
        grown.insert(grown.end(), appended.begin(), appended.end());
        test::writeRawFile(files[2], grown);
        batch.commit();
        EXPECT_TRUE(batch.empty());
    }
    ASSERT_EQ(heard.outcomes.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].filename().string());
        const SwapBatch::Outcome& outcome = heard.outcomes[files[i]];
        EXPECT_FALSE(pathExists(TemporaryFile::pathFor(files[i])));
        EXPECT_FALSE(attribute(files[i], TemporaryFile::markerName).has_value());
        if (i == 2) {
            EXPECT_EQ(failureKind(outcome), FileCompressionError::Kind::fileChangedDuringOperation);
            EXPECT_FALSE(isCompressed(files[i]));
            EXPECT_EQ(readThroughLayer(files[i]).size(), 62000 + appended.size());
            continue;
        }
        ASSERT_TRUE(outcome.result);
        EXPECT_EQ(outcome.result->bytesBefore, 60000 + 1000 * static_cast<std::int64_t>(i));
        EXPECT_TRUE(isCompressed(files[i]));
        EXPECT_EQ(readThroughLayer(files[i]), textBytes(60000 + 1000 * i, static_cast<unsigned>(i)));
    }
}

TEST(SwapBatchTest, ABatchCommitsAtItsBoundsAndWhenItGoesAway)
{
    test::TempDir dir;
    Heard heard;
    const std::vector<Path> files = writeTextFiles(dir, "g", 7, 20000, 0, 40);
    {
        SwapBatch batch(SwapBatch::Limits{3, std::int64_t{1} << 40, std::chrono::hours(1)});
        for (int i = 0; i < 7; ++i) {
            FileCompressor().compressFile(files[i], FileCompressor::streamingThreshold, batch, heard.doneFor(files[i]));
            // Three at a time.
            EXPECT_EQ(heard.outcomes.size(), static_cast<std::size_t>((i + 1) / 3 * 3));
        }
    }
    EXPECT_EQ(heard.outcomes.size(), 7u) << "the last one, committed when the batch went away";
    for (const Path& file : files)
        EXPECT_TRUE(isCompressed(file));

    // A byte bound: two files of 20,000 bytes reach 30,000.
    Heard bytes;
    SwapBatch byBytes(SwapBatch::Limits{100, 30000, std::chrono::hours(1)});
    FileCompressor().decompressFile(files[0], FileCompressor::streamingThreshold, byBytes, bytes.doneFor(files[0]));
    EXPECT_TRUE(bytes.outcomes.empty());
    FileCompressor().decompressFile(files[1], FileCompressor::streamingThreshold, byBytes, bytes.doneFor(files[1]));
    EXPECT_EQ(bytes.outcomes.size(), 2u);
    EXPECT_FALSE(isCompressed(files[0]));
}

// Behind its filling thread: the groups commit on other threads, the filler
// goes on while `behindDepth` groups commit, waits for the next one, and
// `commit` returns only once every file is swapped in and heard of.
TEST(SwapBatchTest, BehindItsThreadGroupsCommitWhileTheNextIsMadeAndOneMoreWaits)
{
    test::TempDir dir;
    constexpr std::size_t inFlight = SwapBatch::behindDepth;
    // Groups of two, and one file after.
    const std::vector<Path> files = writeTextFiles(dir, "h", 2 * inFlight + 3, 20000, 100, 60);
    std::mutex mutex;
    std::map<Path, std::thread::id> heardOn;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    const auto doneFor = [&](std::size_t i) {
        return [&, i](SwapBatch::Outcome outcome) {
            ASSERT_TRUE(outcome.result) << files[i];
            if (i < 2 * inFlight && i % 2 == 0)
                released.wait();  // each group in flight holds its commit here
            const std::lock_guard lock(mutex);
            heardOn[files[i]] = std::this_thread::get_id();
        };
    };
    const auto add = [&](SwapBatch& batch, std::size_t i) {
        FileCompressor().compressFile(files[i], FileCompressor::streamingThreshold, batch, doneFor(i));
    };
    {
        SwapBatch batch(SwapBatch::Limits{2, std::int64_t{1} << 40, std::chrono::hours(1)},
                        SwapBatch::Committing::behind);
        // The groups in flight are handed over and stay committing; none of
        // them holds the filler up.
        for (std::size_t i = 0; i <= 2 * inFlight; ++i)
            add(batch, i);
        // One more group is full: handing it over waits for one of them.
        auto oneMore = std::async(std::launch::async, [&] { add(batch, 2 * inFlight + 1); });
        EXPECT_EQ(oneMore.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
        {
            const std::lock_guard lock(mutex);
            EXPECT_TRUE(heardOn.empty());
        }
        release.set_value();
        oneMore.get();
        add(batch, 2 * inFlight + 2);
        batch.commit();
        EXPECT_TRUE(batch.empty());
        const std::lock_guard lock(mutex);
        EXPECT_EQ(heardOn.size(), files.size()) << "commit returned before every file was heard of";
        for (const auto& [file, thread] : heardOn)
            EXPECT_NE(thread, std::this_thread::get_id()) << file;
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_TRUE(isCompressed(files[i]));
        EXPECT_EQ(readThroughLayer(files[i]), textBytes(20000 + 100 * i, 60 + static_cast<unsigned>(i)));
        EXPECT_FALSE(pathExists(TemporaryFile::pathFor(files[i])));
    }
}

// A `done` that throws on the committing thread is thrown again to the
// filler, and the other files of its group are still swapped in and heard of.
TEST(SwapBatchTest, BehindItsThreadADoneThatThrowsReachesTheFillerAndTheOthersAreStillHeard)
{
    test::TempDir dir;
    Heard heard;
    const std::vector<Path> files = writeTextFiles(dir, "t", 3, 30000, 0, 80);
    SwapBatch batch(SwapBatch::Limits{10, std::int64_t{1} << 40, std::chrono::hours(1)},
                    SwapBatch::Committing::behind);
    for (const Path& file : files) {
        SwapBatch::Done done = heard.doneFor(file);
        if (file == files[0])
            done = [](SwapBatch::Outcome) { throw std::runtime_error("a caller's fault"); };
        FileCompressor().compressFile(file, FileCompressor::streamingThreshold, batch, done);
    }
    EXPECT_THROW(batch.commit(), std::runtime_error);
    EXPECT_EQ(heard.outcomes.size(), 2u);
    for (const Path& file : files)
        EXPECT_TRUE(isCompressed(file)) << file;
    EXPECT_NO_THROW(batch.commit()) << "thrown once";
}

}  // namespace
}  // namespace kelvane::engine::fixtures
