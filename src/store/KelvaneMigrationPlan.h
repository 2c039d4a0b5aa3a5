// SPDX-License-Identifier: MIT
#pragma once

#include "store/SchemaV1.h"
#include "store/SchemaV2.h"
#include "store/SchemaVersion.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace kelvane::store {

// One step from a schema version to the next. Its statements only add what
// the newer version has; every stored row stays as it is. The container runs
// a stage in the same transaction as the new version record.
struct MigrationStage {
    SchemaVersion fromVersion;
    SchemaVersion toVersion;
    std::span<const std::string_view> statements;
};

// Every schema version the application knows, oldest first, and the stages
// between them.
struct KelvaneMigrationPlan {
    static constexpr std::array<SchemaVersion, 2> schemas{SchemaV1::versionIdentifier, SchemaV2::versionIdentifier};
    static constexpr SchemaVersion currentVersion = SchemaV2::versionIdentifier;

    static std::span<const MigrationStage> stages();
    // Tables every store of this version must have.
    static std::span<const std::string_view> modelsOf(SchemaVersion version);
};

// Marks a SQLite file as a Kelvane store (PRAGMA application_id, header offset 68).
inline constexpr std::int32_t storeApplicationId = 0x4B564C4E;  // "KVLN"
// Holds the version record: key "schemaVersion", value "2.0.0".
inline constexpr std::string_view metadataTable = "KelvaneMetadata";

}  // namespace kelvane::store
