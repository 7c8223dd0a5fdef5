#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>

#include <sqlite3.h>

namespace zorblet::server {

struct ConnectionCloser {
    void operator()(sqlite3* connection) const { sqlite3_close_v2(connection); }
};
using SqliteConnection = std::unique_ptr<sqlite3, ConnectionCloser>;

// Opens (and with `create`, creates) a database file; throws StorageError.
SqliteConnection OpenSqliteConnection(const std::filesystem::path& file, bool create);

// Runs SQL that returns no rows; throws StorageError naming `what` on failure.
void ExecuteSql(sqlite3* connection, const char* sql, std::string_view what);

// Puts the database file into write-ahead-log mode (it stays so) and makes the connection
// use the log; throws StorageError when it cannot.
void EnableWriteAheadLog(sqlite3* connection);

// Throws StorageError with SQLite's message for `connection`.
[[noreturn]] void ThrowSqliteError(sqlite3* connection, std::string_view what);

// A prepared statement; it is ready for new bindings once Step has returned false or
// thrown, or after Reset.
class SqliteStatement {
public:
    SqliteStatement(sqlite3* connection, const char* sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    void BindInt64(int index, std::int64_t value);
    void BindBlob(int index, std::string_view bytes);
    void BindText(int index, std::string_view text);
    // One step: true while a row is available, false when done; throws on error.
    bool Step();
    // Abandons the rows not yet read.
    void Reset();

    std::int64_t ColumnInt64(int index) const;
    std::string_view ColumnBytes(int index) const;

private:
    sqlite3* connection_;
    sqlite3_stmt* statement_ = nullptr;
};

}  // namespace zorblet::server
