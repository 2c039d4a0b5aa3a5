// SPDX-License-Identifier: MIT
#include "store/SchemaV1.h"

#include "store/SchemaDefinitions.h"

namespace kelvane::store {

std::span<const std::string_view> SchemaV1::statements() {
    static constexpr auto list = schema::extended(
        schema::firstLayout, R"(INSERT INTO "KelvaneMetadata" ("key", "value") VALUES ('schemaVersion', '1.0.0'))",
        "PRAGMA user_version = 10000");
    return list;
}

}  // namespace kelvane::store
