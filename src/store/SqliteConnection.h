// SPDX-License-Identifier: MIT
#pragma once

#include "store/StoreError.h"
#include "store/StoredValue.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace kelvane::store::detail {

// One prepared statement; bind, then step through the rows.
class SqliteStatement {
public:
    SqliteStatement(sqlite3* db, std::string_view sql, StoreError::Code failure);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // Binds 1-based parameters in order. A relationship must already be
    // reduced to its key.
    void bindAll(const std::vector<StoredValue>& values);
    void bind(int index, const StoredValue& value);
    // True while there is a row to read.
    bool step();
    // Ready to run again with new bindings.
    void reset();

    int columnCount() const;
    StoredValue column(int index) const;
    std::int64_t columnInt(int index) const;
    std::string columnText(int index) const;

private:
    [[noreturn]] void fail(const char* what) const;

    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
    StoreError::Code failure_;
};

// An open connection. Every failure becomes a StoreError with the code the
// caller names, the SQLite message and the path.
class SqliteConnection {
public:
    // readOnlySnapshot reads the main file alone, with no locks and no side
    // files; only for a WAL-mode file that has no -wal beside it, whose main
    // file is then complete.
    enum class Mode { readOnly, readOnlySnapshot, readWrite, readWriteCreate };

    SqliteConnection(const std::filesystem::path& path, Mode mode, StoreError::Code failure);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    void execute(std::string_view sql, StoreError::Code failure);
    // The first column of the first row, or NULL.
    StoredValue queryValue(std::string_view sql, StoreError::Code failure);
    SqliteStatement prepare(std::string_view sql, StoreError::Code failure);

    void setBusyTimeout(std::chrono::milliseconds timeout);
    // Switches the file to WAL mode unless it is there already. The switch
    // needs the file to itself and SQLite does not wait for that, so this
    // retries until `timeout` has passed.
    void enableWal(std::chrono::milliseconds timeout, StoreError::Code failure);
    bool inTransaction() const;
    // Rolls back an open transaction; never throws.
    void rollbackQuietly() noexcept;

    const std::filesystem::path& path() const { return path_; }
    sqlite3* handle() const { return db_; }

private:
    std::filesystem::path path_;
    sqlite3* db_ = nullptr;
};

// "<what> (<path>): <sqlite message>", used for every failure the store reports.
std::string describeFailure(std::string_view what, const std::filesystem::path& path, sqlite3* db);

}  // namespace kelvane::store::detail
