#include "sqlite_score_board.h"

#include <ctime>
#include <vector>

namespace zorblet::server {

namespace {

// A new file gets 1 KiB pages: every submission writes one whole page into the log, and
// a score row takes some 40 bytes. (Existing files keep their page size.)
constexpr const char* PageSizeSql = "PRAGMA page_size = 1024";

// NORMAL syncs the log only at checkpoints: a commit has reached the operating system
// before the player's request is answered, so it survives any crash or kill of this
// process; only a power cut can take the last few commits.
constexpr const char* SchemaSql = R"sql(
  PRAGMA synchronous = NORMAL;
  PRAGMA journal_size_limit = 67108864;  -- after a burst, give the log's disk space back
  CREATE TABLE IF NOT EXISTS scores (
    id INTEGER PRIMARY KEY,     -- storage order: among equal points the smaller id ranks higher
    points INTEGER NOT NULL,
    name BLOB NOT NULL,         -- Windows-1252 bytes, exactly as submitted
    date TEXT NOT NULL,         -- dd.MM.yy, the server's local date at submission
    stored_at INTEGER NOT NULL  -- Unix time, for operators
  );
)sql";

SqliteConnection OpenWriter(const std::filesystem::path& file) {
    SqliteConnection connection = OpenSqliteConnection(file, true);
    ExecuteSql(connection.get(), PageSizeSql, "cannot set the page size");
    EnableWriteAheadLog(connection.get());
    ExecuteSql(connection.get(), SchemaSql, "cannot set up the scores table");
    return connection;
}

std::filesystem::path LockFileFor(const std::filesystem::path& file) {
    std::filesystem::path lock = file;
    lock += ".lock";
    return lock;
}

}  // namespace

SqliteScoreBoard::SqliteScoreBoard(const std::filesystem::path& file)
    : owner_lock_(LockFileFor(file)),
      writer_(OpenWriter(file)),
      insert_(writer_.get(), "INSERT INTO scores (points, name, date, stored_at) VALUES (?, ?, ?, ?)"),
      probe_(writer_.get(), "SELECT max(id) FROM scores"),
      checkpointer_(file, writer_.get(), write_mutex_) {
    LoadIndex();
}

void SqliteScoreBoard::LoadIndex() {
    SqliteStatement select(writer_.get(), "SELECT id, points, name, date FROM scores ORDER BY id");
    while (select.Step()) {
        index_.Insert(select.ColumnInt64(0),
                      ScoreEntry{static_cast<std::int32_t>(select.ColumnInt64(1)), std::string(select.ColumnBytes(2)),
                                 std::string(select.ColumnBytes(3))});
    }
}

void SqliteScoreBoard::ReadRanking(const ViewReader& read) const {
    std::shared_lock lock(index_mutex_);
    read(index_);
}

std::int64_t SqliteScoreBoard::InsertRow(const ScoreEntry& entry) {
    insert_.BindInt64(1, entry.points);
    insert_.BindBlob(2, entry.name);
    insert_.BindText(3, entry.date);
    insert_.BindInt64(4, static_cast<std::int64_t>(std::time(nullptr)));
    insert_.Step();
    return sqlite3_last_insert_rowid(writer_.get());
}

void SqliteScoreBoard::AddEntry(const ScoreEntry& entry) {
    std::lock_guard write_lock(write_mutex_);
    std::int64_t sequence = 0;
    try {
        sequence = InsertRow(entry);  // commits on its own
    } catch (const StorageError&) {
        store_failed_ = true;
        throw;
    }
    store_failed_ = false;
    std::unique_lock index_lock(index_mutex_);
    index_.Insert(sequence, entry);
}

bool SqliteScoreBoard::CheckHealth() const {
    std::lock_guard write_lock(write_mutex_);
    try {
        probe_.Step();
        probe_.Reset();
    } catch (const StorageError&) {
        return false;
    }
    return !store_failed_;
}

void SqliteScoreBoard::AddEntries(std::span<const ScoreEntry> entries) {
    std::lock_guard write_lock(write_mutex_);
    std::vector<std::int64_t> sequences;
    sequences.reserve(entries.size());
    ExecuteSql(writer_.get(), "BEGIN IMMEDIATE", "cannot begin a transaction");
    try {
        for (const ScoreEntry& entry : entries) sequences.push_back(InsertRow(entry));
        ExecuteSql(writer_.get(), "COMMIT", "cannot commit");
    } catch (...) {
        sqlite3_exec(writer_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    std::unique_lock index_lock(index_mutex_);
    for (std::size_t i = 0; i < entries.size(); ++i) index_.Insert(sequences[i], entries[i]);
}

}  // namespace zorblet::server
