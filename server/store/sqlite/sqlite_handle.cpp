#include "store/sqlite/sqlite_handle.h"

#include <string>

#include "store/score_board.h"

namespace zorblet::server {

void ThrowSqliteError(sqlite3* connection, std::string_view what) {
    std::string message(what);
    message += ": ";
    message += connection != nullptr ? sqlite3_errmsg(connection) : "out of memory";
    throw StorageError(message);
}

SqliteConnection OpenSqliteConnection(const std::filesystem::path& file, bool create) {
    sqlite3* raw = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
    const int status = sqlite3_open_v2(file.c_str(), &raw, flags, nullptr);
    SqliteConnection connection(raw);
    if (status != SQLITE_OK) ThrowSqliteError(raw, "cannot open " + file.string());
    sqlite3_extended_result_codes(raw, 1);
    // Another process (an operator's sqlite3 shell, a backup) may hold a lock for a moment;
    // waiting keeps SQLITE_BUSY from ever reaching a player.
    sqlite3_busy_timeout(raw, 10000);
    return connection;
}

void ExecuteSql(sqlite3* connection, const char* sql, std::string_view what) {
    if (sqlite3_exec(connection, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        ThrowSqliteError(connection, what);
    }
}

void EnableWriteAheadLog(sqlite3* connection) {
    SqliteStatement mode(connection, "PRAGMA journal_mode = WAL");
    if (!mode.Step() || mode.ColumnBytes(0) != "wal") {
        throw StorageError("cannot switch the database to write-ahead logging");
    }
    mode.Reset();
}

SqliteStatement::SqliteStatement(sqlite3* connection, const char* sql) : connection_(connection) {
    if (sqlite3_prepare_v3(connection, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement_, nullptr) != SQLITE_OK) {
        ThrowSqliteError(connection, "cannot prepare statement");
    }
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(statement_);
}

void SqliteStatement::BindInt64(int index, std::int64_t value) {
    sqlite3_bind_int64(statement_, index, value);
}

void SqliteStatement::BindBlob(int index, std::string_view bytes) {
    // An empty blob would bind as NULL without a non-null pointer.
    sqlite3_bind_blob64(statement_, index, bytes.empty() ? "" : bytes.data(), bytes.size(), SQLITE_TRANSIENT);
}

void SqliteStatement::BindText(int index, std::string_view text) {
    // As for blobs: an empty text must not bind as NULL.
    sqlite3_bind_text64(statement_, index, text.empty() ? "" : text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

bool SqliteStatement::Step() {
    const int status = sqlite3_step(statement_);
    if (status == SQLITE_ROW) return true;
    if (status == SQLITE_DONE) {
        sqlite3_reset(statement_);
        return false;
    }
    const StorageError error(std::string("statement failed: ") + sqlite3_errmsg(connection_));
    sqlite3_reset(statement_);
    throw error;
}

void SqliteStatement::Reset() {
    sqlite3_reset(statement_);
}

std::int64_t SqliteStatement::ColumnInt64(int index) const {
    return sqlite3_column_int64(statement_, index);
}

std::string_view SqliteStatement::ColumnBytes(int index) const {
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement_, index));
    const int size = sqlite3_column_bytes(statement_, index);
    return bytes == nullptr ? std::string_view() : std::string_view(bytes, size);
}

}  // namespace zorblet::server
