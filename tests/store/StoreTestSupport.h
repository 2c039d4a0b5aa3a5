// SPDX-License-Identifier: MIT
#pragma once

// Raw SQLite access for the store tests: writing stores as older or other
// programs would, and reading files back without going through the store.

#include "store/StoredValue.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::store::test {

class RawDatabase {
public:
    explicit RawDatabase(const std::filesystem::path& path, bool create = false) {
        int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
        if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
            std::string message = sqlite3_errmsg(db_);
            sqlite3_close(db_);
            throw std::runtime_error("raw open failed: " + message);
        }
    }
    ~RawDatabase() { sqlite3_close(db_); }
    RawDatabase(const RawDatabase&) = delete;
    RawDatabase& operator=(const RawDatabase&) = delete;

    void exec(std::string_view sql) {
        char* error = nullptr;
        if (sqlite3_exec(db_, std::string(sql).c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            std::string message = error ? error : "?";
            sqlite3_free(error);
            throw std::runtime_error("raw exec failed: " + message + " in " + std::string(sql));
        }
    }
    void execAll(std::span<const std::string_view> statements) {
        for (auto statement : statements) exec(statement);
    }

    std::int64_t queryInt(std::string_view sql) { return std::stoll(queryText(sql)); }

    std::string queryText(std::string_view sql) {
        auto rows = query(sql);
        return rows.empty() || rows[0].empty() ? std::string{} : rows[0][0];
    }

    // Every row as text columns; NULL as "NULL", blobs in hex.
    std::vector<std::vector<std::string>> query(std::string_view sql) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &statement, nullptr) != SQLITE_OK) {
            throw std::runtime_error(std::string("raw prepare failed: ") + sqlite3_errmsg(db_));
        }
        std::vector<std::vector<std::string>> rows;
        int rc;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int i = 0; i < sqlite3_column_count(statement); ++i) row.push_back(cellText(statement, i));
            rows.push_back(std::move(row));
        }
        sqlite3_finalize(statement);
        if (rc != SQLITE_DONE) throw std::runtime_error(std::string("raw step failed: ") + sqlite3_errmsg(db_));
        return rows;
    }

    // Every table's rows in key order, plus the header numbers: equal dumps
    // mean equal stores.
    std::string dump() {
        std::string text = "user_version=" + queryText("PRAGMA user_version") +
                           " application_id=" + queryText("PRAGMA application_id") + "\n";
        for (const auto& table : query("SELECT name, sql FROM sqlite_schema ORDER BY name")) {
            text += table[0] + ": " + table[1] + "\n";
            if (table[1].rfind("CREATE TABLE", 0) != 0) continue;
            for (const auto& row : query("SELECT * FROM \"" + table[0] + "\" ORDER BY rowid")) {
                for (const auto& cell : row) text += cell + "|";
                text += "\n";
            }
        }
        return text;
    }

private:
    static std::string cellText(sqlite3_stmt* statement, int i) {
        switch (sqlite3_column_type(statement, i)) {
            case SQLITE_NULL: return "NULL";
            case SQLITE_BLOB: {
                static constexpr char digits[] = "0123456789abcdef";
                const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(statement, i));
                std::string hex = "x'";
                for (int j = 0; j < sqlite3_column_bytes(statement, i); ++j) {
                    hex += digits[bytes[j] >> 4];
                    hex += digits[bytes[j] & 15];
                }
                return hex + "'";
            }
            default: return reinterpret_cast<const char*>(sqlite3_column_text(statement, i));
        }
    }

    sqlite3* db_ = nullptr;
};

// A date with nanoseconds, so lost precision shows.
inline Date dateAt(std::int64_t seconds, std::int64_t nanoseconds = 123456789) {
    return Date(std::chrono::duration_cast<Date::duration>(std::chrono::seconds(seconds) +
                                                            std::chrono::nanoseconds(nanoseconds)));
}

inline std::int64_t storedNanoseconds(Date date) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(date.time_since_epoch()).count();
}

inline bool sideFilesExist(const std::filesystem::path& path) {
    return std::filesystem::exists(path.string() + "-wal") || std::filesystem::exists(path.string() + "-shm") ||
           std::filesystem::exists(path.string() + "-journal");
}

}  // namespace kelvane::store::test
