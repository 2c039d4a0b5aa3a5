// SPDX-License-Identifier: MIT
#include "store/StoreFile.h"

#include "platform/Logger.h"
#include "platform/PosixError.h"
#include "store/Entities.h"
#include "store/KelvaneMigrationPlan.h"
#include "store/SqliteConnection.h"
#include "store/StoreError.h"
#include "store/Uuid.h"

#include <sqlite3.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvane::store::detail {

namespace {

using Code = StoreError::Code;

std::string quoted(const std::filesystem::path& path) { return "\"" + path.string() + "\""; }

std::string errnoText(const char* call, int error) { return platform::PosixError(call, error).description(); }

std::filesystem::path sideFile(const std::filesystem::path& path, const char* suffix) {
    return std::filesystem::path(path.string() + suffix);
}

bool pathExists(const std::filesystem::path& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

std::uint32_t bigEndian32(const std::uint8_t* bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
           std::uint32_t{bytes[3]};
}

StoreError newerVersion(const std::filesystem::path& path, SchemaVersion version) {
    return StoreError(Code::newerVersion, "The store " + quoted(path) + " was written by a newer Kelvane (schema " +
                                              version.toString() + "); this version knows schema " +
                                              KelvaneMigrationPlan::currentVersion.toString() + " at most");
}

// What SQLite said about a file it was asked to read, as the store's failure.
StoreError reclassified(const StoreError& error, const std::filesystem::path& path) {
    switch (error.sqliteCode() & 0xFF) {
        case SQLITE_NOTADB:
            return StoreError(Code::notAStore, "The file " + quoted(path) + " is not a Kelvane store: " + error.what(),
                              error.sqliteCode());
        case SQLITE_CORRUPT:
            return StoreError(Code::damaged, "The store " + quoted(path) + " is damaged: " + error.what(),
                              error.sqliteCode());
        default: return error;
    }
}

std::optional<SchemaVersion> readRecordedVersion(SqliteConnection& connection) {
    auto count = connection.queryValue(
        R"(SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = 'KelvaneMetadata')", Code::cannotOpen);
    if (storedInt(count) == 0) return std::nullopt;
    auto text = connection.queryValue(R"(SELECT "value" FROM "KelvaneMetadata" WHERE "key" = 'schemaVersion')",
                                      Code::cannotOpen);
    return SchemaVersion::parse(storedText(text));
}

// Every table of the version with every column the models read.
void checkTables(SqliteConnection& connection, SchemaVersion version) {
    for (std::string_view model : KelvaneMigrationPlan::modelsOf(version)) {
        const EntityDescription* entity = entityNamed(model);
        std::set<std::string> columns;
        auto statement = connection.prepare("PRAGMA table_info(\"" + std::string(model) + "\")", Code::cannotOpen);
        while (statement.step()) columns.insert(statement.columnText(1));
        bool complete = entity && columns.contains("pk");
        for (const auto& attribute : entity ? entity->attributes : std::span<const AttributeDescription>{}) {
            complete = complete && columns.contains(std::string(attribute.name));
        }
        if (!complete) {
            throw StoreError(Code::damaged, "The store " + quoted(connection.path()) + " (version " +
                                                version.toString() + ") lacks the table or columns of " +
                                                std::string(model));
        }
    }
}

// The version a file really holds, read without writing to it. A read-only
// connection to a WAL-mode file makes -wal and -shm files (and leaves them);
// when there is no -wal, the main file alone is complete and is read as such.
SchemaVersion inspectVersion(const std::filesystem::path& path, bool walMode, std::chrono::milliseconds busyTimeout) {
    try {
        const bool snapshot = walMode && !pathExists(sideFile(path, "-wal"));
        SqliteConnection connection(
            path, snapshot ? SqliteConnection::Mode::readOnlySnapshot : SqliteConnection::Mode::readOnly,
            Code::cannotOpen);
        connection.setBusyTimeout(busyTimeout);
        auto version = readRecordedVersion(connection);
        if (!version) {
            throw StoreError(Code::damaged, "The store " + quoted(path) + " has no valid schema version record");
        }
        if (*version > KelvaneMigrationPlan::currentVersion) throw newerVersion(path, *version);
        if (KelvaneMigrationPlan::modelsOf(*version).empty()) {
            throw StoreError(Code::damaged,
                             "The store " + quoted(path) + " records an unknown schema version " + version->toString());
        }
        checkTables(connection, *version);
        return *version;
    } catch (const StoreError& error) {
        throw reclassified(error, path);
    }
}

void syncFolder(const std::filesystem::path& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void removeQuietly(const std::filesystem::path& path) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        const std::filesystem::path file = sideFile(path, suffix);
        if (::unlink(file.c_str()) == 0 || errno == ENOENT) continue;
        const std::string failure = errnoText("unlink", errno);
        platform::Logger::data().error("store leftover not removed: %{private}s: %{public}s", file.string(), failure);
    }
}

// Builds a new store beside `path` and moves it into place, so a store file
// that exists is always complete. Returns false when another process put a
// file at `path` first (the caller then opens that one).
bool createStore(const std::filesystem::path& path, bool replaceEmptyFile) {
    const auto folder = path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
    const auto temporary = folder / (path.filename().string() + ".new-" + Uuid::random().toString());
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw StoreError(Code::cannotOpen, "Could not create the store " + quoted(path) + ": " + errnoText("open", errno));
    }
    ::close(fd);
    try {
        SqliteConnection connection(temporary, SqliteConnection::Mode::readWrite, Code::cannotOpen);
        connection.execute("BEGIN", Code::cannotOpen);
        for (std::string_view statement : SchemaV2::statements()) connection.execute(statement, Code::cannotOpen);
        connection.execute("COMMIT", Code::cannotOpen);
        connection.execute("PRAGMA journal_mode = WAL", Code::cannotOpen);
    } catch (const StoreError& error) {
        removeQuietly(temporary);
        throw StoreError(Code::cannotOpen, "Could not create the store " + quoted(path) + ": " + error.what(),
                         error.sqliteCode());
    }

    bool placed = false;
    int error = 0;
    if (replaceEmptyFile) {
        struct stat info;
        if (::stat(path.c_str(), &info) == 0 && info.st_size == 0) {
            placed = ::rename(temporary.c_str(), path.c_str()) == 0;
            if (!placed) error = errno;
        }
    } else if (::link(temporary.c_str(), path.c_str()) == 0) {
        placed = true;
    } else if (errno != EEXIST) {
        error = errno;
    }
    removeQuietly(temporary);
    if (error != 0) {
        throw StoreError(Code::cannotOpen, "Could not put the new store in place at " + quoted(path) + ": " +
                                               errnoText(replaceEmptyFile ? "rename" : "link", error));
    }
    if (placed) syncFolder(folder);
    return placed;
}

void migrate(const std::filesystem::path& path, std::chrono::milliseconds busyTimeout) {
    SqliteConnection connection(path, SqliteConnection::Mode::readWrite, Code::migrationFailed);
    connection.setBusyTimeout(busyTimeout);
    try {
        connection.execute("BEGIN IMMEDIATE", Code::migrationFailed);
        // Read again under the write lock: another process may have migrated meanwhile.
        auto version = readRecordedVersion(connection);
        if (!version) throw StoreError(Code::damaged, "The version record disappeared during the migration");
        for (const MigrationStage& stage : KelvaneMigrationPlan::stages()) {
            if (stage.fromVersion != *version) continue;
            for (std::string_view statement : stage.statements) connection.execute(statement, Code::migrationFailed);
            version = stage.toVersion;
        }
        if (*version != KelvaneMigrationPlan::currentVersion) {
            throw StoreError(Code::migrationFailed, "No migration leads from schema " + version->toString() + " to " +
                                                        KelvaneMigrationPlan::currentVersion.toString());
        }
        auto update = connection.prepare(R"(UPDATE "KelvaneMetadata" SET "value" = ? WHERE "key" = 'schemaVersion')",
                                         Code::migrationFailed);
        update.bind(1, version->toString());
        update.step();
        connection.execute("PRAGMA user_version = " + std::to_string(version->headerNumber()), Code::migrationFailed);
        checkTables(connection, *version);
        connection.execute("COMMIT", Code::migrationFailed);
    } catch (const StoreError& error) {
        connection.rollbackQuietly();
        throw StoreError(Code::migrationFailed,
                         "Could not bring the store " + quoted(path) + " up to date (it was left as it was): " + error.what(),
                         error.sqliteCode());
    }
}

}  // namespace

SchemaVersion prepareStoreFile(const std::filesystem::path& path, std::chrono::milliseconds busyTimeout) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        struct stat info;
        if (::stat(path.c_str(), &info) != 0) {
            if (errno != ENOENT) {
                throw StoreError(Code::cannotOpen, "Could not open the store " + quoted(path) + ": " + errnoText("stat", errno));
            }
            if (createStore(path, false)) return KelvaneMigrationPlan::currentVersion;
            continue;
        }
        if (!S_ISREG(info.st_mode)) {
            throw StoreError(Code::notAStore, "The store path " + quoted(path) + " is not a regular file");
        }
        if (info.st_size == 0) {
            // Nothing to lose, unless a journal beside it holds the content.
            if (pathExists(sideFile(path, "-wal")) || pathExists(sideFile(path, "-journal"))) {
                throw StoreError(Code::notAStore, "The file " + quoted(path) + " is empty but has a journal beside it; it was left untouched");
            }
            if (createStore(path, true)) return KelvaneMigrationPlan::currentVersion;
            continue;
        }

        // Judge the header before SQLite sees the file: SQLite may write
        // side files even when only reading.
        std::array<std::uint8_t, 100> header{};
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            throw StoreError(Code::cannotOpen, "Could not open the store " + quoted(path) + ": " + errnoText("open", errno));
        }
        ssize_t got = ::pread(fd, header.data(), header.size(), 0);
        int readError = errno;
        ::close(fd);
        if (got < 0) {
            throw StoreError(Code::cannotOpen, "Could not read the store " + quoted(path) + ": " + errnoText("pread", readError));
        }
        static constexpr char magic[] = "SQLite format 3";
        if (got < static_cast<ssize_t>(header.size()) || std::memcmp(header.data(), magic, sizeof magic) != 0) {
            throw StoreError(Code::notAStore, "The file " + quoted(path) + " is not a Kelvane store (not a database); it was left untouched");
        }
        if (bigEndian32(header.data() + 68) != static_cast<std::uint32_t>(storeApplicationId)) {
            throw StoreError(Code::notAStore, "The file " + quoted(path) + " is a database of another program, not a Kelvane store; it was left untouched");
        }
        const std::uint32_t headerVersion = bigEndian32(header.data() + 60);
        if (headerVersion > static_cast<std::uint32_t>(KelvaneMigrationPlan::currentVersion.headerNumber()))
            throw newerVersion(path, SchemaVersion::fromHeaderNumber(headerVersion));

        const bool walMode = header[18] == 2 && header[19] == 2;
        const SchemaVersion version = inspectVersion(path, walMode, busyTimeout);
        if (version < KelvaneMigrationPlan::currentVersion) migrate(path, busyTimeout);
        return version;
    }
    throw StoreError(Code::cannotOpen, "The store " + quoted(path) + " kept changing while it was being opened");
}

}  // namespace kelvane::store::detail
