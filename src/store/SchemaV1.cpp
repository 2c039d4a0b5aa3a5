#include "store/SchemaV1.h"

#include "store/SchemaDefinitions.h"

namespace kelvane::store {

std::span<const std::string_view> SchemaV1::statements() {
    static constexpr std::string_view list[] = {
        schema::applicationId,
        schema::metadataTable,
        schema::registeredItemTable,
        schema::fileSnapshotTable,
        schema::fileSnapshotIndex,
        schema::compressionLogTable,
        schema::compressionLogIndex,
        R"(INSERT INTO "KelvaneMetadata" ("key", "value") VALUES ('schemaVersion', '1.0.0'))",
        "PRAGMA user_version = 10000",
    };
    return list;
}

}  // namespace kelvane::store
