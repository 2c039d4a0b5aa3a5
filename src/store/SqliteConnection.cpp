// SPDX-License-Identifier: MIT
#include "store/SqliteConnection.h"

#include "platform/Logger.h"

#include <sqlite3.h>

#include <thread>

namespace kelvane::store::detail {

std::string describeFailure(std::string_view what, const std::filesystem::path& path, sqlite3* db) {
    std::string text(what);
    if (!path.empty()) text += " (" + path.string() + ")";
    if (db) {
        text += ": ";
        text += sqlite3_errmsg(db);
    }
    return text;
}

namespace {

std::filesystem::path pathOf(sqlite3* db) {
    const char* name = db ? sqlite3_db_filename(db, "main") : nullptr;
    return name ? std::filesystem::path(name) : std::filesystem::path();
}

// "file:" URI of a path; only the characters that URIs give a meaning are escaped.
std::string fileUri(const std::filesystem::path& path) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (unsigned char c : std::filesystem::absolute(path).string()) {
        if (c == '%' || c == '?' || c == '#' || c < 0x20 || c >= 0x7F) {
            uri += '%';
            uri += digits[c >> 4];
            uri += digits[c & 15];
        } else {
            uri += static_cast<char>(c);
        }
    }
    return uri;
}

}  // namespace

SqliteStatement::SqliteStatement(sqlite3* db, std::string_view sql, StoreError::Code failure)
    : db_(db), failure_(failure) {
    if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &statement_, nullptr) != SQLITE_OK) {
        fail("Could not prepare a store query");
    }
}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(statement_); }

void SqliteStatement::fail(const char* what) const {
    throw StoreError(failure_, describeFailure(what, pathOf(db_), db_), sqlite3_extended_errcode(db_));
}

void SqliteStatement::bindAll(const std::vector<StoredValue>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) bind(static_cast<int>(i + 1), values[i]);
}

void SqliteStatement::bind(int index, const StoredValue& value) {
    int rc = SQLITE_OK;
    if (const auto* number = std::get_if<std::int64_t>(&value)) {
        rc = sqlite3_bind_int64(statement_, index, *number);
    } else if (const auto* text = std::get_if<std::string>(&value)) {
        rc = sqlite3_bind_text64(statement_, index, text->data(), text->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    } else if (const auto* bytes = std::get_if<ByteData>(&value)) {
        // An empty blob is still a blob, not NULL.
        static const std::uint8_t empty = 0;
        rc = sqlite3_bind_blob64(statement_, index, bytes->empty() ? &empty : bytes->data(), bytes->size(),
                                 SQLITE_TRANSIENT);
    } else if (std::holds_alternative<std::shared_ptr<PersistentModel>>(value)) {
        throw StoreError(StoreError::Code::misuse, "A relationship was bound without its record key");
    } else {
        rc = sqlite3_bind_null(statement_, index);
    }
    if (rc != SQLITE_OK) fail("Could not bind a store value");
}

bool SqliteStatement::step() {
    int rc = sqlite3_step(statement_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    fail("A store statement failed");
}

void SqliteStatement::reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

int SqliteStatement::columnCount() const { return sqlite3_column_count(statement_); }

StoredValue SqliteStatement::column(int index) const {
    switch (sqlite3_column_type(statement_, index)) {
        case SQLITE_INTEGER: return static_cast<std::int64_t>(sqlite3_column_int64(statement_, index));
        case SQLITE_FLOAT: return static_cast<std::int64_t>(sqlite3_column_double(statement_, index));
        case SQLITE_TEXT: return columnText(index);
        case SQLITE_BLOB: {
            const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement_, index));
            int size = sqlite3_column_bytes(statement_, index);
            return data ? ByteData(data, data + size) : ByteData{};
        }
        default: return std::monostate{};
    }
}

std::int64_t SqliteStatement::columnInt(int index) const { return sqlite3_column_int64(statement_, index); }

std::string SqliteStatement::columnText(int index) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, index));
    int size = sqlite3_column_bytes(statement_, index);
    return text ? std::string(text, static_cast<std::size_t>(size)) : std::string{};
}

SqliteConnection::SqliteConnection(const std::filesystem::path& path, Mode mode, StoreError::Code failure)
    : path_(path) {
    int flags = SQLITE_OPEN_EXRESCODE;
    std::string name = path.string();
    switch (mode) {
        case Mode::readOnly: flags |= SQLITE_OPEN_READONLY; break;
        case Mode::readOnlySnapshot:
            flags |= SQLITE_OPEN_READONLY | SQLITE_OPEN_URI;
            name = fileUri(path) + "?immutable=1";
            break;
        case Mode::readWrite: flags |= SQLITE_OPEN_READWRITE; break;
        case Mode::readWriteCreate: flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE; break;
    }
    int rc = sqlite3_open_v2(name.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string message = describeFailure("Could not open the store", path, db_);
        int code = db_ ? sqlite3_extended_errcode(db_) : rc;
        sqlite3_close(db_);
        db_ = nullptr;
        throw StoreError(failure, message, code);
    }
    sqlite3_extended_result_codes(db_, 1);
}

SqliteConnection::~SqliteConnection() { sqlite3_close_v2(db_); }

void SqliteConnection::execute(std::string_view sql, StoreError::Code failure) {
    SqliteStatement statement(db_, sql, failure);
    while (statement.step()) {
    }
}

StoredValue SqliteConnection::queryValue(std::string_view sql, StoreError::Code failure) {
    SqliteStatement statement(db_, sql, failure);
    return statement.step() ? statement.column(0) : StoredValue{};
}

SqliteStatement SqliteConnection::prepare(std::string_view sql, StoreError::Code failure) {
    return SqliteStatement(db_, sql, failure);
}

void SqliteConnection::setBusyTimeout(std::chrono::milliseconds timeout) {
    sqlite3_busy_timeout(db_, static_cast<int>(timeout.count()));
}

void SqliteConnection::enableWal(std::chrono::milliseconds timeout, StoreError::Code failure) {
    if (storedText(queryValue("PRAGMA journal_mode", failure)) == "wal") return;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        try {
            execute("PRAGMA journal_mode = WAL", failure);
            return;
        } catch (const StoreError& error) {
            if ((error.sqliteCode() & 0xFF) != SQLITE_BUSY || std::chrono::steady_clock::now() >= deadline) throw;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool SqliteConnection::inTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

void SqliteConnection::rollbackQuietly() noexcept {
    if (!inTransaction()) return;
    if (const int result = sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr); result != SQLITE_OK)
        platform::Logger::data().error("store rollback failed: %{public}s (%{public}d)", sqlite3_errmsg(db_), result);
}

}  // namespace kelvane::store::detail
