#include "discovery/CloudFolderDetector.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace kd = kelvane::discovery;
using kd::CloudFolderDetector;
using kd::CloudService;

namespace {

class CloudFolderDetectorTest : public ::testing::Test {
protected:
    void SetUp() override { temp.useAsHome(); }
    std::string home() const { return temp.path().string(); }
    std::optional<CloudService> detect(const std::string& path) const { return CloudFolderDetector::detect(path); }

    kelvane::test::TempDir temp;
};

TEST_F(CloudFolderDetectorTest, MobileDocumentsIsICloudDrive) {
    EXPECT_EQ(detect(home() + "/Library/Mobile Documents"), CloudService::iCloudDrive);
    EXPECT_EQ(detect(home() + "/Library/Mobile Documents/"), CloudService::iCloudDrive);
    EXPECT_EQ(detect(home() + "/Library/Mobile Documents/com~x/a.txt"), CloudService::iCloudDrive);
    EXPECT_EQ(detect(home() + "/Library/Mobile Documents2/a"), std::nullopt);
    EXPECT_EQ(detect(home() + "/library/Mobile Documents/a"), std::nullopt);
    EXPECT_EQ(detect(home() + "/Library/Foo/../Mobile Documents/a"), CloudService::iCloudDrive);
}

TEST_F(CloudFolderDetectorTest, CloudStorageProvidersByName) {
    const auto storage = home() + "/Library/CloudStorage/";
    EXPECT_EQ(detect(storage + "Dropbox"), CloudService::dropbox);
    EXPECT_EQ(detect(storage + "DROPBOX-Team/x/y"), CloudService::dropbox);
    EXPECT_EQ(detect(storage + "OneDrive-Contoso/Docs"), CloudService::oneDrive);
    EXPECT_EQ(detect(storage + "onedrive"), CloudService::oneDrive);
    EXPECT_EQ(detect(storage + "GoogleDrive-me@example.com/My Drive"), CloudService::googleDrive);
    EXPECT_EQ(detect(storage + "Box-Box/deep/er"), CloudService::fileProviderGeneric);
    EXPECT_EQ(detect(storage + "/"), std::nullopt);
    EXPECT_EQ(detect(home() + "/Library/CloudStorage"), std::nullopt);
    EXPECT_EQ(detect(home() + "/Library/cloudstorage/Dropbox"), std::nullopt);
}

TEST_F(CloudFolderDetectorTest, HomeDropboxFolderOnly) {
    EXPECT_EQ(detect(home() + "/Dropbox"), CloudService::dropbox);
    EXPECT_EQ(detect(home() + "/Dropbox/"), CloudService::dropbox);
    EXPECT_EQ(detect(home() + "/Dropbox/work/a.txt"), CloudService::dropbox);
    EXPECT_EQ(detect(home() + "/dropbox"), std::nullopt);
    EXPECT_EQ(detect(home() + "/Dropbox2"), std::nullopt);
    EXPECT_EQ(detect(home() + "/work/Dropbox"), std::nullopt);
    EXPECT_EQ(detect("/elsewhere/Dropbox"), std::nullopt);
    EXPECT_EQ(detect(home() + "-other/Dropbox"), std::nullopt);
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
