// SPDX-License-Identifier: MIT
#include "store/KelvaneMigrationPlan.h"
#include "store/SchemaVersion.h"

#include <gtest/gtest.h>

namespace kelvane::store {
namespace {

TEST(SchemaVersionTest, ParsesOnlyThreeNumbersAndOrdersThemNumerically) {
    EXPECT_EQ(SchemaVersion::parse("2.0.0"), (SchemaVersion{2, 0, 0}));
    EXPECT_EQ(SchemaVersion::parse("10.2.33"), (SchemaVersion{10, 2, 33}));
    for (const char* bad : {"", "2", "2.0", "2.0.0.0", "2..0", "2.0.x", " 2.0.0", "2.0.0 ", "-1.0.0", "100.0.0"}) {
        EXPECT_FALSE(SchemaVersion::parse(bad)) << bad;
    }
    // Numbers, not texts: 10.0.0 is newer than 2.0.0 and 2.10.0 than 2.9.0.
    EXPECT_LT(*SchemaVersion::parse("2.0.0"), *SchemaVersion::parse("10.0.0"));
    EXPECT_LT(*SchemaVersion::parse("2.9.0"), *SchemaVersion::parse("2.10.0"));
    EXPECT_LT(*SchemaVersion::parse("1.0.0"), *SchemaVersion::parse("1.0.1"));
    EXPECT_EQ((SchemaVersion{2, 1, 3}).toString(), "2.1.3");
    EXPECT_EQ((SchemaVersion{2, 1, 3}).headerNumber(), 20103);
    EXPECT_EQ(SchemaVersion::fromHeaderNumber(20103), (SchemaVersion{2, 1, 3}));
}

TEST(SchemaVersionTest, TheMigrationPlanLeadsFromEveryKnownVersionToTheCurrentOne) {
    ASSERT_EQ(KelvaneMigrationPlan::schemas.back(), KelvaneMigrationPlan::currentVersion);
    for (const SchemaVersion& start : KelvaneMigrationPlan::schemas) {
        SchemaVersion version = start;
        for (const auto& stage : KelvaneMigrationPlan::stages()) {
            if (stage.fromVersion == version) version = stage.toVersion;
        }
        EXPECT_EQ(version, KelvaneMigrationPlan::currentVersion) << start.toString();
    }
    // The newer schema holds every model of the older one.
    for (auto model : SchemaV1::models) {
        EXPECT_NE(std::find(SchemaV2::models.begin(), SchemaV2::models.end(), model), SchemaV2::models.end()) << model;
    }
}

}  // namespace
}  // namespace kelvane::store
