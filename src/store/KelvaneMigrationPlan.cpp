// SPDX-License-Identifier: MIT
#include "store/KelvaneMigrationPlan.h"

#include "store/SchemaDefinitions.h"

namespace kelvane::store {

std::span<const MigrationStage> KelvaneMigrationPlan::stages() {
    static constexpr std::string_view v1ToV2[] = {schema::incompressibleFileTable};
    static const MigrationStage list[] = {
        {SchemaV1::versionIdentifier, SchemaV2::versionIdentifier, v1ToV2},
    };
    return list;
}

std::span<const std::string_view> KelvaneMigrationPlan::modelsOf(SchemaVersion version) {
    if (version == SchemaV1::versionIdentifier) return SchemaV1::models;
    if (version == SchemaV2::versionIdentifier) return SchemaV2::models;
    return {};
}

}  // namespace kelvane::store
