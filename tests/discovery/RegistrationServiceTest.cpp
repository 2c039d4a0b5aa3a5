// SPDX-License-Identifier: MIT
#include "discovery/RegistrationService.h"

#include <gtest/gtest.h>

#include <vector>

namespace kd = kelvane::discovery;
using kd::ExistingRegistration;
using kd::ItemKind;
using kd::RegistrationDecision;

namespace {

RegistrationDecision decide(const std::string& url, ItemKind kind, const std::vector<ExistingRegistration>& existing,
                            bool includeSubfolders = false) {
    return kd::RegistrationService{}.decide(url, kind, includeSubfolders, existing);
}

TEST(RegistrationServiceTest, DuplicatesAreFoundAfterStandardizing) {
    const std::vector<ExistingRegistration> existing{{"/data/photos", ItemKind::folder}};
    const RegistrationDecision dup = RegistrationDecision::skipDuplicate{"/data/photos"};
    EXPECT_EQ(decide("/data/photos", ItemKind::folder, existing), dup);
    EXPECT_EQ(decide("/data/photos/", ItemKind::folder, existing), dup);
    EXPECT_EQ(decide("/data/photos///", ItemKind::folder, existing), dup);
    EXPECT_EQ(decide("/data/./photos", ItemKind::folder, existing), dup);
    EXPECT_EQ(decide("/data/other/../photos", ItemKind::folder, existing), dup);
    EXPECT_EQ(decide("/../data//photos/.", ItemKind::folder, existing), dup);
    // The requested kind plays no part: a file request on a folder's path.
    EXPECT_EQ(decide("/data/photos", ItemKind::file, existing), dup);
    // The registered path is reported standardized too.
    EXPECT_EQ(decide("/a/b", ItemKind::file, {{"/a/./x/../b/", ItemKind::file}}),
              RegistrationDecision(RegistrationDecision::skipDuplicate{"/a/b"}));
}

TEST(RegistrationServiceTest, CanonicallyEqualSpellingsAreOnePath) {
    const std::string nfc = "/home/u/caf\u00E9/\u30AC\u30A4\u30C9";
    const std::string nfd = "/home/u/cafe\u0301/\u30AB\u3099\u30A4\u30C8\u3099";
    EXPECT_EQ(decide(nfd, ItemKind::folder, {{nfc, ItemKind::folder}}),
              RegistrationDecision(RegistrationDecision::skipDuplicate{nfc}));
    EXPECT_EQ(decide(nfd + "/f.txt", ItemKind::file, {{nfc, ItemKind::folder}}),
              RegistrationDecision(RegistrationDecision::skipChildOfRegistered{nfc}));
    // Case still matters.
    EXPECT_TRUE(decide("/home/u/CAF\u00C9", ItemKind::folder, {{"/home/u/caf\u00E9", ItemKind::folder}})
                    .as<RegistrationDecision::willRegister>());
}

TEST(RegistrationServiceTest, ChildrenOfRegisteredFoldersAreSkipped) {
    const std::vector<ExistingRegistration> existing{{"/data/photos", ItemKind::folder}};
    const RegistrationDecision child = RegistrationDecision::skipChildOfRegistered{"/data/photos"};
    EXPECT_EQ(decide("/data/photos/2023/a.jpg", ItemKind::file, existing), child);
    EXPECT_EQ(decide("/data/photos/2023/", ItemKind::folder, existing, true), child);
    // A sibling whose name only begins with the folder's name is not inside it.
    EXPECT_EQ(decide("/data/photos2", ItemKind::folder, existing),
              RegistrationDecision(RegistrationDecision::willRegister{"/data/photos2", ItemKind::folder, false}));
    EXPECT_EQ(decide("/data/photos2/a.jpg", ItemKind::file, existing),
              RegistrationDecision(RegistrationDecision::willRegister{"/data/photos2/a.jpg", ItemKind::file, false}));
    // ".." can climb out of a registered folder.
    EXPECT_TRUE(decide("/data/photos/../notes.txt", ItemKind::file, existing).as<RegistrationDecision::willRegister>());
    // A registered file never has children.
    EXPECT_TRUE(decide("/data/a.bin/x", ItemKind::file, {{"/data/a.bin", ItemKind::file}})
                    .as<RegistrationDecision::willRegister>());
}

TEST(RegistrationServiceTest, FolderAboveRegisteredItemsIsAllowed) {
    const std::vector<ExistingRegistration> existing{{"/data/photos/a.jpg", ItemKind::file},
                                                     {"/data/photos/raw", ItemKind::folder}};
    EXPECT_EQ(decide("/data/photos/", ItemKind::folder, existing, true),
              RegistrationDecision(RegistrationDecision::willRegister{"/data/photos", ItemKind::folder, true}));
}

TEST(RegistrationServiceTest, FirstMatchInListOrderDecides) {
    const ExistingRegistration folder{"/data/photos", ItemKind::folder};
    const ExistingRegistration file{"/data/photos/a.jpg", ItemKind::file};
    EXPECT_EQ(decide("/data/photos/a.jpg", ItemKind::file, {folder, file}),
              RegistrationDecision(RegistrationDecision::skipChildOfRegistered{"/data/photos"}));
    EXPECT_EQ(decide("/data/photos/a.jpg", ItemKind::file, {file, folder}),
              RegistrationDecision(RegistrationDecision::skipDuplicate{"/data/photos/a.jpg"}));
}

TEST(RegistrationServiceTest, WillRegisterCarriesStandardizedPathAndFlagAsPassed) {
    EXPECT_EQ(decide("/x/./y/../z/", ItemKind::file, {}, true),
              RegistrationDecision(RegistrationDecision::willRegister{"/x/z", ItemKind::file, true}));
    EXPECT_EQ(kd::RegistrationService::normalizedPath("/"), "/");
    EXPECT_EQ(kd::RegistrationService::normalizedPath("//"), "/");
    EXPECT_EQ(kd::RegistrationService::normalizedPath("/a/b//"), "/a/b");
}

TEST(RegistrationServiceTest, RegisteredRootCoversEverythingBelowIt) {
    const std::vector<ExistingRegistration> existing{{"/", ItemKind::folder}};
    EXPECT_EQ(decide("/etc/hosts", ItemKind::file, existing),
              RegistrationDecision(RegistrationDecision::skipChildOfRegistered{"/"}));
    EXPECT_EQ(decide("/./", ItemKind::folder, existing), RegistrationDecision(RegistrationDecision::skipDuplicate{"/"}));
}

}  // namespace
