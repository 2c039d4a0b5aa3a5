// SPDX-License-Identifier: MIT
// A swap leaves its folder's modification time as it was, unless someone
// else changed the folder meanwhile.

#include "EngineFixtures.h"

#include "engine/SwapBatch.h"

#include <atomic>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>

namespace kelvane::engine::fixtures {
namespace {

constexpr timespec kOldTime{1600000000, 123456789};

timespec folderTime(const Path& folder)
{
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0)
        throw std::runtime_error("stat failed");
    return st.st_mtim;
}

void setFolderTime(const Path& folder)
{
    const timespec times[2] = {kOldTime, kOldTime};
    ASSERT_EQ(::utimensat(AT_FDCWD, folder.c_str(), times, 0), 0);
}

bool isOldTime(const timespec& t) { return t.tv_sec == kOldTime.tv_sec && t.tv_nsec == kOldTime.tv_nsec; }

TEST(FolderTimeTest, EveryRoadPutsTheFolderTimeBackUnlessSomeoneElseChangedTheFolder)
{
    test::TempDir temp;
    for (const auto& road : fourRoads) {
        SCOPED_TRACE(road.name);
        const Path folder = temp.path() / road.name;
        std::filesystem::create_directories(folder);
        const Path file = folder / "notes.txt";
        test::writeRawFile(file, textBytes(150000, 5));
        if (road.decompress)
            FileCompressor{}.compressFile(file);
        setFolderTime(folder);

        road.run(file);
        EXPECT_TRUE(isOldTime(folderTime(folder))) << folderTime(folder).tv_sec;

        // Another program adds a file while the next swap is under way: the
        // folder changed, and its time says so.
        if (!road.decompress)
            FileCompressor{}.decompressFile(file);
        else
            FileCompressor{}.compressFile(file);
        setFolderTime(folder);
        {
            const ScopedStepObserver observer([&](std::string_view step) {
                if (step == "copy ownership")
                    test::writeRawFile(folder / "arrived.txt", {1, 2, 3});
            });
            road.run(file);
        }
        EXPECT_TRUE(std::filesystem::exists(folder / "arrived.txt"));
        EXPECT_FALSE(isOldTime(folderTime(folder)));
    }
}

// A bulk run: several workers, each committing behind itself in groups that
// span folders, swap files of many folders at once. Every folder gets its
// time back once its last swap is in, except the one another program
// changed meanwhile.
TEST(FolderTimeTest, ManyFoldersSwappedAtOnceByWorkersCommittingBehindGetTheirTimesBack)
{
    test::TempDir temp;
    constexpr int kFolders = 12;
    constexpr int kFilesEach = 5;
    std::vector<Path> folders;
    std::vector<Path> files;
    for (int f = 0; f < kFolders; ++f) {
        folders.push_back(temp.path() / ("folder" + std::to_string(f)));
        std::filesystem::create_directories(folders.back());
        for (int i = 0; i < kFilesEach; ++i) {
            files.push_back(folders.back() / ("n" + std::to_string(i) + ".txt"));
            test::writeRawFile(files.back(), textBytes(9000 + 10 * i, static_cast<unsigned>(f * 10 + i)));
        }
        setFolderTime(folders.back());
    }
    // Another program adds a file there while a swap in it is under way.
    const Path changed = folders[7];
    static thread_local const Path* preparing = nullptr;
    std::atomic<bool> arrived{false};
    const ScopedStepObserver observer([&](std::string_view step) {
        if (step == "copy ownership" && preparing && preparing->parent_path() == changed && !arrived.exchange(true))
            test::writeRawFile(changed / "arrived.txt", {1, 2, 3});
    });
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w) {
        workers.emplace_back([&] {
            SwapBatch batch(SwapBatch::Limits{3, std::int64_t{1} << 40, std::chrono::hours(1)},
                            SwapBatch::Committing::behind);
            // Interleaved across folders, as a run sorted by size takes them.
            for (std::size_t k; (k = next.fetch_add(1)) < files.size();) {
                const std::size_t index = (k % kFolders) * kFilesEach + k / kFolders;
                preparing = &files[index];
                FileCompressor().compressFile(files[index], FileCompressor::streamingThreshold, batch,
                                              [](SwapBatch::Outcome outcome) {
                                                  if (!outcome.result)
                                                      std::rethrow_exception(outcome.failure);
                                              });
            }
            batch.commit();
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    ASSERT_TRUE(arrived);
    for (const Path& file : files)
        EXPECT_TRUE(isCompressed(file)) << file;
    for (const Path& folder : folders) {
        if (folder == changed)
            EXPECT_FALSE(isOldTime(folderTime(folder))) << "another program's file hidden behind the old time";
        else
            EXPECT_TRUE(isOldTime(folderTime(folder))) << folder << " " << folderTime(folder).tv_sec;
    }
}

}  // namespace
}  // namespace kelvane::engine::fixtures
