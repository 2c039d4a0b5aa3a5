#include "store/SchemaV2.h"

#include "store/SchemaDefinitions.h"

namespace kelvane::store {

std::span<const std::string_view> SchemaV2::statements() {
    static constexpr std::string_view list[] = {
        schema::applicationId,
        schema::metadataTable,
        schema::registeredItemTable,
        schema::fileSnapshotTable,
        schema::fileSnapshotIndex,
        schema::compressionLogTable,
        schema::compressionLogIndex,
        schema::incompressibleFileTable,
        R"(INSERT INTO "KelvaneMetadata" ("key", "value") VALUES ('schemaVersion', '2.0.0'))",
        "PRAGMA user_version = 20000",
    };
    return list;
}

}  // namespace kelvane::store
