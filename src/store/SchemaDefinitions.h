// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

// The SQL of each stored table, shared by the schema versions and the
// migration stages. Keys only grow (AUTOINCREMENT), so a key is never reused
// for another record. Dates are nanoseconds since the Unix epoch, UUIDs
// 16-byte blobs, Booleans 0 or 1.
namespace kelvane::store::schema {

inline constexpr std::string_view applicationId = "PRAGMA application_id = 1263946830";  // 0x4B564C4E

inline constexpr std::string_view metadataTable =
    R"(CREATE TABLE "KelvaneMetadata" ("key" TEXT PRIMARY KEY NOT NULL, "value" TEXT NOT NULL))";

inline constexpr std::string_view registeredItemTable =
    R"(CREATE TABLE "RegisteredItem" ("pk" INTEGER PRIMARY KEY AUTOINCREMENT, "id" BLOB NOT NULL, )"
    R"("bookmark" BLOB NOT NULL, "kind" TEXT NOT NULL, "includeSubfolders" INTEGER NOT NULL, )"
    R"("registeredAt" INTEGER NOT NULL, "displayName" TEXT NOT NULL, "notes" TEXT))";

inline constexpr std::string_view fileSnapshotTable =
    R"(CREATE TABLE "FileSnapshot" ("pk" INTEGER PRIMARY KEY AUTOINCREMENT, "id" BLOB NOT NULL, )"
    R"("registeredItem" INTEGER REFERENCES "RegisteredItem"("pk") ON DELETE CASCADE, )"
    R"("relativePath" TEXT NOT NULL, "inode" INTEGER NOT NULL, "logicalSize" INTEGER NOT NULL, )"
    R"("physicalSize" INTEGER NOT NULL, "isCompressed" INTEGER NOT NULL, "algorithm" TEXT, )"
    R"("mtime" INTEGER NOT NULL, "lastObservedAt" INTEGER NOT NULL))";

inline constexpr std::string_view fileSnapshotIndex =
    R"(CREATE INDEX "FileSnapshot_registeredItem" ON "FileSnapshot"("registeredItem"))";

inline constexpr std::string_view compressionLogTable =
    R"(CREATE TABLE "CompressionLog" ("pk" INTEGER PRIMARY KEY AUTOINCREMENT, "id" BLOB NOT NULL, )"
    R"("executedAt" INTEGER NOT NULL, "operation" TEXT NOT NULL, "targetPath" TEXT NOT NULL, )"
    R"("sizeBefore" INTEGER NOT NULL, "sizeAfter" INTEGER NOT NULL, "algorithm" TEXT NOT NULL, )"
    R"("durationMs" INTEGER NOT NULL, "success" INTEGER NOT NULL, "errorMessage" TEXT))";

inline constexpr std::string_view compressionLogIndex =
    R"(CREATE INDEX "CompressionLog_executedAt" ON "CompressionLog"("executedAt"))";

inline constexpr std::string_view incompressibleFileTable =
    R"(CREATE TABLE "IncompressibleFile" ("pk" INTEGER PRIMARY KEY AUTOINCREMENT, )"
    R"("targetPath" TEXT NOT NULL UNIQUE, "recordedAt" INTEGER NOT NULL, "sizeAtRecord" INTEGER NOT NULL))";

// What the first layout creates, in order; later layouts add to it.
inline constexpr std::array firstLayout{applicationId,     metadataTable,       registeredItemTable, fileSnapshotTable,
                                        fileSnapshotIndex, compressionLogTable, compressionLogIndex};

// `base` followed by `more`.
template <std::size_t N, class... More>
constexpr std::array<std::string_view, N + sizeof...(More)> extended(const std::array<std::string_view, N>& base,
                                                                      More... more) {
    std::array<std::string_view, N + sizeof...(More)> out{};
    std::size_t i = 0;
    for (std::string_view statement : base) out[i++] = statement;
    ((out[i++] = std::string_view(more)), ...);
    return out;
}

}  // namespace kelvane::store::schema
