// SPDX-License-Identifier: MIT
// A swap leaves its folder's modification time as it was, unless someone
// else changed the folder meanwhile.

#include "EngineFixtures.h"

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

}  // namespace
}  // namespace kelvane::engine::fixtures
