// SPDX-License-Identifier: MIT
#include "platform/KelvanefsMount.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kelvane::platform {
namespace {

// id parent maj:min root mountpoint options - type source superoptions
MountTable tableOf(std::initializer_list<std::pair<const char*, const char*>> mounts)
{
    std::string text;
    int id = 20;
    for (const auto& [point, type] : mounts) {
        text += std::to_string(id) + " 1 0:" + std::to_string(id) + " / " + point + " rw - " + type + " src rw\n";
        ++id;
    }
    return MountTable::parse(text);
}

TEST(KelvanefsMountTest, TheInnermostMountCoveringAPathDecides)
{
    const MountTable table = tableOf({{"/", "ext4"},
                                      {"/home/u/Archive", "fuse.kelvanefs"},
                                      {"/home/u/Archive/usb", "vfat"},
                                      {"/home/u/Archive\\040two", "fuse.kelvanefs"},
                                      {"/srv", "fuse.kelvanefs"},
                                      {"/srv", "ext4"}});
    const auto at = [&](const char* path) {
        const auto mount = kelvanefsMountOf(table, path);
        return mount ? mount->mountPoint.string() : std::string("-");
    };
    EXPECT_EQ(at("/home/u/Archive"), "/home/u/Archive");
    EXPECT_EQ(at("/home/u/Archive/a/b.txt"), "/home/u/Archive");
    EXPECT_EQ(at("/home/u/Archive/usb/x"), "-") << "a later mount below covers it";
    EXPECT_EQ(at("/home/u/Archived/x"), "-") << "a name that only starts like the mount point";
    EXPECT_EQ(at("/home/u/Archive two/x"), "/home/u/Archive two");
    EXPECT_EQ(at("/srv/data"), "-") << "mounted over again on the same point";
    EXPECT_EQ(at("/home/u"), "-");
}

TEST(KelvanefsMountTest, TheSocketLivesInTheRuntimeFolderOnePerMountPoint)
{
    kelvane::test::TempDir runtime;
    const char* before = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = before ? before : "";
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    const auto one = kelvanefsSocketPath("/home/u/Archive");
    const auto two = kelvanefsSocketPath("/home/u/Archive2");
    EXPECT_EQ(one.parent_path(), runtime.path() / "kelvane");
    EXPECT_NE(one, two);
    EXPECT_EQ(one, kelvanefsSocketPath("/home/u/Archive"));
    EXPECT_LT(one.native().size(), 108u) << "fits a socket address";
    // Nothing answers there: no descriptor, and the reason says so.
    errno = 0;
    EXPECT_FALSE(receiveFolderDescriptor(one));
    EXPECT_EQ(errno, ENOENT);
    if (saved.empty())
        ::unsetenv("XDG_RUNTIME_DIR");
    else
        ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

}  // namespace
}  // namespace kelvane::platform
