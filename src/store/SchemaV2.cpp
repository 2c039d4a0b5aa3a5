// SPDX-License-Identifier: MIT
#include "store/SchemaV2.h"

#include "store/SchemaDefinitions.h"

namespace kelvane::store {

std::span<const std::string_view> SchemaV2::statements() {
    static constexpr auto list = schema::extended(
        schema::firstLayout, schema::incompressibleFileTable,
        R"(INSERT INTO "KelvaneMetadata" ("key", "value") VALUES ('schemaVersion', '2.0.0'))",
        "PRAGMA user_version = 20000");
    return list;
}

}  // namespace kelvane::store
