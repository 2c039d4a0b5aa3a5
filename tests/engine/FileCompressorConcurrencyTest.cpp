// SPDX-License-Identifier: MIT
#include "engine/FileCompressionError.h"
#include "engine/FileCompressor.h"

#include "EngineFixtures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>

namespace kelvane::engine {
namespace {

using namespace fixtures;
using Error = FileCompressionError;

TEST(FileCompressorConcurrencyTest, EightThreadsOnEightFiles)
{
    test::TempDir dir;
    constexpr int count = 8;
    std::vector<Bytes> contents;
    std::vector<Path> files;
    for (int i = 0; i < count; ++i) {
        contents.push_back(i % 4 == 3 ? noisyBytes(300000 + i, i) : textBytes(700000 + 4099 * i, i));
        files.push_back(dir / ("file-" + std::to_string(i)));
        test::writeRawFile(files.back(), contents.back());
    }
    std::vector<std::string> failures(count);
    std::vector<std::thread> threads;
    std::atomic<int> ready{0};
    for (int i = 0; i < count; ++i) {
        threads.emplace_back([&, i] {
            ++ready;
            while (ready < count) {
            }
            const FileCompressor compressor;
            const std::int64_t threshold = i % 2 ? std::int64_t{65536} : FileCompressor::streamingThreshold;
            try {
                const CompressionResult result = compressor.compressFile(files[i], threshold);
                if (readThroughLayer(files[i]) != contents[i] || result.bytesBefore != std::int64_t(contents[i].size()))
                    failures[i] = "compressed contents differ";
                compressor.decompressFile(files[i], threshold);
                if (test::readRawFile(files[i]) != contents[i])
                    failures[i] = "decompressed contents differ";
            } catch (const std::exception& error) {
                failures[i] = error.what();
            }
        });
    }
    for (auto& t : threads)
        t.join();
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(failures[i], "") << files[i];
        EXPECT_FALSE(pathExists(temporaryOf(files[i])));
    }
}

// One operation holds the file (parked inside, after taking its lock) while a
// second one on the same file runs: the second is refused, the first finishes.
TEST(FileCompressorConcurrencyTest, SecondOperationOnTheSameFileIsRefused)
{
    test::TempDir dir;
    const Path file = dir / "shared";
    const Bytes data = textBytes(500000, 21);
    test::writeRawFile(file, data);

    std::mutex mutex;
    std::condition_variable changed;
    bool parked = false;
    bool released = false;
    const std::thread::id mainThread = std::this_thread::get_id();
    ScopedStepObserver observer([&](std::string_view step) {
        if (std::this_thread::get_id() == mainThread || step != "copy ownership")
            return;
        std::unique_lock lock(mutex);
        parked = true;
        changed.notify_all();
        changed.wait_for(lock, std::chrono::seconds(60), [&] { return released; });
    });

    for (const bool compress : {true, false}) {
        SCOPED_TRACE(compress ? "compress" : "decompress");
        parked = released = false;
        std::optional<CompressionResult> first;
        std::string firstFailure;
        std::thread worker([&] {
            try {
                first = compress ? FileCompressor().compressFile(file) : FileCompressor().decompressFile(file);
            } catch (const std::exception& error) {
                firstFailure = error.what();
            }
        });
        {
            std::unique_lock lock(mutex);
            ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(60), [&] { return parked; }));
        }
        try {
            compress ? FileCompressor().compressFile(file) : FileCompressor().decompressFile(file);
            ADD_FAILURE() << "the second operation ran";
        } catch (const Error& error) {
            EXPECT_EQ(error, Error(Error::fileInUse{file}));
        }
        {
            std::lock_guard lock(mutex);
            released = true;
            changed.notify_all();
        }
        worker.join();
        EXPECT_EQ(firstFailure, "");
        EXPECT_TRUE(first.has_value());
        EXPECT_EQ(isCompressed(file), compress);
        EXPECT_EQ(readThroughLayer(file), data);
        EXPECT_FALSE(pathExists(temporaryOf(file)));
    }
}

// A program that keeps the file open for writing (a logger, a database)
// would go on writing to the file the swap replaced, and every later write
// would be lost: such a file is in use and left as it is, on every road.
TEST(FileCompressorConcurrencyTest, AFileOpenForWritingElsewhereIsInUseAndItsLaterWritesLand)
{
    test::TempDir dir;
    const std::int64_t streaming = 65536;
    struct Case {
        const char* name;
        Bytes data;
        bool compressFirst;  // the writer opens a compressed file, which is then decompressed
        std::int64_t threshold;
    };
    const std::vector<Case> cases = {
        {"inline", textBytes(3000, 41), false, FileCompressor::streamingThreshold},
        {"fork", textBytes(300000, 42), false, FileCompressor::streamingThreshold},
        {"streamed", textBytes(300000, 43), false, streaming},
        {"compressed", textBytes(200000, 44), true, FileCompressor::streamingThreshold},
    };
    for (const Case& c : cases) {
        const Path file = dir / c.name;
        test::writeRawFile(file, c.data);
        if (c.compressFirst)
            FileCompressor().compressFile(file);
        const bool wasCompressed = isCompressed(file);
        platform::UniqueFd writer(::open(file.c_str(), O_WRONLY | O_CLOEXEC));
        ASSERT_TRUE(writer) << c.name << ": " << std::strerror(errno);
        try {
            c.compressFirst ? FileCompressor().decompressFile(file, c.threshold)
                            : FileCompressor().compressFile(file, c.threshold);
            ADD_FAILURE() << c.name << ": the file was replaced while open for writing";
        } catch (const Error& error) {
            EXPECT_EQ(error, Error(Error::fileInUse{file})) << c.name << ": " << error.description();
        }
        EXPECT_EQ(isCompressed(file), wasCompressed) << c.name;
        EXPECT_FALSE(pathExists(temporaryOf(file))) << c.name;
        // The writer's descriptor still reaches the file at the name.
        struct stat held {}, named {};
        ASSERT_EQ(::fstat(writer.get(), &held), 0);
        ASSERT_EQ(::stat(file.c_str(), &named), 0);
        EXPECT_EQ(held.st_ino, named.st_ino) << c.name;
        writer.reset();
        // Once it is closed, the operation goes ahead.
        if (!c.compressFirst) {
            FileCompressor().compressFile(file, c.threshold);
            EXPECT_EQ(readThroughLayer(file), c.data) << c.name;
        }
    }
}

// Free races: whichever wins, the loser sees the lock or the finished result.
TEST(FileCompressorConcurrencyTest, RacingPairsLeaveTheFileIntact)
{
    test::TempDir dir;
    const Bytes data = textBytes(200000, 31);
    for (int round = 0; round < 20; ++round) {
        const Path file = dir / ("race-" + std::to_string(round));
        test::writeRawFile(file, data);
        std::atomic<int> ready{0};
        std::optional<Error> failure[2];
        int successes = 0;
        std::mutex mutex;
        auto race = [&](int index) {
            ++ready;
            while (ready < 2) {
            }
            try {
                FileCompressor().compressFile(file);
                std::lock_guard lock(mutex);
                ++successes;
            } catch (const Error& error) {
                failure[index] = error;
            }
        };
        std::thread a(race, 0), b(race, 1);
        a.join();
        b.join();
        EXPECT_EQ(successes, 1);
        for (const auto& f : failure) {
            if (f) {
                // The loser either meets the lock, finds the work done, or took its
                // snapshot of the old inode before the winner swapped the new one in.
                EXPECT_TRUE(*f == Error(Error::fileInUse{file}) || *f == Error(Error::alreadyCompressed{file}) ||
                            *f == Error(Error::fileChangedDuringOperation{file}))
                    << f->description();
            }
        }
        EXPECT_TRUE(isCompressed(file));
        EXPECT_EQ(readThroughLayer(file), data);
        EXPECT_FALSE(pathExists(temporaryOf(file)));
    }
}

}  // namespace
}  // namespace kelvane::engine
