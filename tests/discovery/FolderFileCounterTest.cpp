// SPDX-License-Identifier: MIT
#include "discovery/CancellationError.h"
#include "discovery/FolderFileCounter.h"
#include "discovery/FolderFileCounterError.h"
#include "engine/TemporaryFile.h"
#include "platform/FileFlags.h"
#include "platform/FileSystem.h"

#include "SearchTree.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace kd = kelvane::discovery;
namespace fs = std::filesystem;
using kd::FolderFileCounter;
using kelvane::test::makeFile;

namespace {

TEST(FolderFileCounterTest, CountsRegularFilesWithTheSearchRules) {
    kelvane::test::TempDir temp;
    const auto root = temp.path() / "root";
    fs::create_directories(root);
    EXPECT_EQ(FolderFileCounter().countFiles(root, true), 0);

    makeFile(root / "a");
    makeFile(root / "b");
    makeFile(root / "flagged");
    makeFile(root / ".hidden");
    makeFile(root / ".config/e");  // in a hidden folder, but not hidden itself
    // A run's temporary file of "b" (carrying b's marker) is no file of the user's.
    makeFile(root / "b.kvtmp");
    const auto marker = kelvane::engine::TemporaryFile::markerFor(root / "b");
    ASSERT_EQ(kelvane::platform::setxattr(root / "b.kvtmp", kelvane::engine::TemporaryFile::markerName, marker.data(),
                                          marker.size(), 0, 0),
              0);
    ASSERT_EQ(kelvane::platform::chflags(root / "flagged", kelvane::platform::UF_HIDDEN), 0);
    makeFile(root / "sub/c");
    makeFile(root / "sub/d");
    fs::create_symlink(root / "a", root / "link");
    fs::create_directory_symlink(root, root / "sub/loop");
    makeFile(root / "Tool.app/Contents/bin");
    makeFile(root / "Build.xcarchive/Info.plist");
    makeFile(root / "Build.xcarchive/Products/X.app/bin");

    // Only what a run of the folder takes: the search leaves out hidden files
    // and other runs' temporary files.
    EXPECT_EQ(FolderFileCounter().countFiles(root, false), 2);
    EXPECT_EQ(FolderFileCounter().countFiles(root, true), 2 + 1 + 2 + 2);
    // A package as the folder itself is counted inside.
    EXPECT_EQ(FolderFileCounter().countFiles(root / "Tool.app", true), 1);
}

TEST(FolderFileCounterTest, FailuresAndCancellation) {
    kelvane::test::TempDir temp;
    makeFile(temp.path() / "file");
    try {
        FolderFileCounter().countFiles(temp.path() / "missing", true);
        FAIL() << "no error";
    } catch (const kd::FolderFileCounterError& e) {
        EXPECT_EQ(e, kd::FolderFileCounterError(kd::FolderFileCounterError::notFound{temp.path() / "missing"}));
    }
    try {
        FolderFileCounter().countFiles(temp.path() / "file", true);
        FAIL() << "no error";
    } catch (const kd::FolderFileCounterError& e) {
        EXPECT_EQ(e, kd::FolderFileCounterError(kd::FolderFileCounterError::notADirectory{temp.path() / "file"}));
        EXPECT_EQ(e.description(), "notADirectory(\"" + (temp.path() / "file").string() + "\")");
    }
    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_THROW(FolderFileCounter().countFiles(temp.path(), true, stopped.get_token()), kd::CancellationError);
}

}  // namespace
