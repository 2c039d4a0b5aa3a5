// SPDX-License-Identifier: MIT
#include "discovery/CloudFolderDetector.h"

#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kd = kelvane::discovery;
using kd::CloudFolderDetector;
using kd::CloudService;

namespace {

class CloudFolderDetectorTest : public ::testing::Test {
protected:
    void SetUp() override { temp.useAsHome(); }
    std::string home() const { return temp.path().string(); }
    // Each path ("~" is the home folder) and the service it belongs to, if any.
    void expectEach(std::initializer_list<std::pair<std::string, std::optional<CloudService>>> cases) const
    {
        for (const auto& [path, expected] : cases) {
            const std::string full = path.starts_with("~") ? home() + path.substr(1) : path;
            EXPECT_EQ(CloudFolderDetector::detect(full), expected) << full;
        }
    }

    kelvane::test::TempDir temp;
};

TEST_F(CloudFolderDetectorTest, MobileDocumentsIsICloudDrive) {
    expectEach({
        {"~/Library/Mobile Documents", CloudService::iCloudDrive},
        {"~/Library/Mobile Documents/", CloudService::iCloudDrive},
        {"~/Library/Mobile Documents/com~x/a.txt", CloudService::iCloudDrive},
        {"~/Library/Mobile Documents2/a", std::nullopt},
        {"~/library/Mobile Documents/a", std::nullopt},
        {"~/Library/Foo/../Mobile Documents/a", CloudService::iCloudDrive},
    });
}

TEST_F(CloudFolderDetectorTest, CloudStorageProvidersByName) {
    expectEach({
        {"~/Library/CloudStorage/Dropbox", CloudService::dropbox},
        {"~/Library/CloudStorage/DROPBOX-Team/x/y", CloudService::dropbox},
        {"~/Library/CloudStorage/OneDrive-Contoso/Docs", CloudService::oneDrive},
        {"~/Library/CloudStorage/onedrive", CloudService::oneDrive},
        {"~/Library/CloudStorage/GoogleDrive-me@example.com/My Drive", CloudService::googleDrive},
        {"~/Library/CloudStorage/Box-Box/deep/er", CloudService::fileProviderGeneric},
        {"~/Library/CloudStorage//", std::nullopt},
        {"~/Library/CloudStorage", std::nullopt},
        {"~/Library/cloudstorage/Dropbox", std::nullopt},
    });
}

TEST_F(CloudFolderDetectorTest, HomeDropboxFolderOnly) {
    expectEach({
        {"~/Dropbox", CloudService::dropbox},
        {"~/Dropbox/", CloudService::dropbox},
        {"~/Dropbox/work/a.txt", CloudService::dropbox},
        {"~/dropbox", std::nullopt},
        {"~/Dropbox2", std::nullopt},
        {"~/work/Dropbox", std::nullopt},
        {"/elsewhere/Dropbox", std::nullopt},
        {"~-other/Dropbox", std::nullopt},
    });
}

TEST_F(CloudFolderDetectorTest, LinuxSyncClientFoldersAndTheDesktopsGoogleDrive) {
    kelvane::test::ScopedEnvironment runtime("XDG_RUNTIME_DIR", (temp.path() / "run").string());
    expectEach({
        {"~/OneDrive", CloudService::oneDrive},
        {"~/OneDrive/Docs/a.txt", CloudService::oneDrive},
        {"~/OneDrive2", std::nullopt},
        {"~/Nextcloud/Photos/", CloudService::fileProviderGeneric},
        {"~/ownCloud", CloudService::fileProviderGeneric},
        {"~/owncloud", std::nullopt},
        {"~/work/Nextcloud", std::nullopt},
        {"/elsewhere/OneDrive", std::nullopt},
    });

    // The desktop's own mounts live in the runtime folder, here ~/run.
    expectEach({
        {"~/run/gvfs/google-drive:host=gmail.com,user=me", CloudService::googleDrive},
        {"~/run/gvfs/google-drive:host=gmail.com,user=me/My Drive/a.txt", CloudService::googleDrive},
        {"~/run/gvfs/sftp:host=example.com/google-drive:x", std::nullopt},
        {"~/run/gvfs", std::nullopt},
        {"/elsewhere/gvfs/google-drive:host=gmail.com,user=me", std::nullopt},
    });
}

TEST_F(CloudFolderDetectorTest, EveryFolderOnACloudMountIsTheGenericProvider) {
    const auto proc = temp.path() / "proc";
    std::filesystem::create_directories(proc / "self");
    std::ofstream(proc / "self/mountinfo")
        << "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        << "40 22 0:50 / /mnt/drive rw,nosuid,nodev shared:30 - fuse.rclone gdrive: rw,user_id=1000\n"
        << "41 22 0:51 / " << home() << "/od rw,nosuid - fuse.onedriver onedriver rw,user_id=1000\n"
        << "42 40 8:2 / /mnt/drive/local rw - ext4 /dev/sdb1 rw\n"
        << "43 22 0:52 / /mnt/ssh rw - fuse.sshfs me@host: rw\n"
        << "44 22 0:53 / /mnt/hidden rw - fuse.rclone remote: rw\n"
        << "45 22 8:3 / /mnt/hidden rw - ext4 /dev/sdc1 rw\n"
        << "46 22 0:54 / /mnt/with\\040space rw - fuse.rclone remote: rw\n";
    const auto mounts = kelvane::platform::MountTable::read(proc);
    ASSERT_TRUE(mounts);
    const auto at = [&](const std::string& path) { return CloudFolderDetector::detect(path, mounts); };
    EXPECT_EQ(at("/mnt/drive"), CloudService::fileProviderGeneric);
    EXPECT_EQ(at("/mnt/drive/a/b.txt"), CloudService::fileProviderGeneric);
    EXPECT_EQ(at(home() + "/od/Documents"), CloudService::fileProviderGeneric);
    EXPECT_EQ(at("/mnt/with space/a"), CloudService::fileProviderGeneric);
    // A local disk mounted inside the remote one is local.
    EXPECT_EQ(at("/mnt/drive/local/a"), std::nullopt);
    EXPECT_EQ(at("/mnt/drivex/a"), std::nullopt);
    EXPECT_EQ(at("/mnt/ssh/a"), std::nullopt);
    // A later mount on the same point hides the remote one.
    EXPECT_EQ(at("/mnt/hidden/a"), std::nullopt);
    EXPECT_EQ(at("/home/a.txt"), std::nullopt);
    // The folder rules come first; no table, no mount counts.
    EXPECT_EQ(at(home() + "/Dropbox/x"), CloudService::dropbox);
    EXPECT_EQ(CloudFolderDetector::detect("/mnt/drive/a", std::nullopt), std::nullopt);
}

TEST(CloudFolderDetectorHomeTest, CanonicallyEqualHomeSpellings) {
    kelvane::test::TempDir temp;
    temp.useAsHome();  // HOME comes back when the folder goes away
    const auto nfc = temp.path() / "Jos\u00E9";
    const auto nfd = (temp.path() / "Jose\u0301").string();
    setenv("HOME", nfc.c_str(), 1);
    EXPECT_EQ(CloudFolderDetector::detect(nfd + "/Dropbox/a"), CloudService::dropbox);
    EXPECT_EQ(CloudFolderDetector::detect(nfd + "/Library/Mobile Documents"), CloudService::iCloudDrive);
}

TEST(CloudServiceTest, RawValuesAndDisplayNames) {
    ASSERT_EQ(std::size(kd::kAllCloudServices), 5u);
    for (auto service : kd::kAllCloudServices)
        EXPECT_EQ(kd::cloudServiceFromRawValue(kd::rawValue(service)), service);
    EXPECT_EQ(kd::cloudServiceFromRawValue("Dropbox"), std::nullopt);
    EXPECT_EQ(kd::displayName(CloudService::iCloudDrive), "iCloud Drive");
    EXPECT_EQ(kd::displayName(CloudService::fileProviderGeneric), "クラウドストレージ");
}

}  // namespace
