#include "store/sqlite/sqlite_score_board.h"

#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <unordered_set>

namespace zorblet::server {

namespace {

// A new file gets 1 KiB pages: every submission writes one whole page into the log, and
// a score row takes some 40 bytes. (Existing files keep their page size.)
constexpr const char* PageSizeSql = "PRAGMA page_size = 1024";

// NORMAL syncs the log only at checkpoints: a commit has reached the operating system
// before the player's request is answered, so it survives any crash or kill of this
// process; only a power cut can take the last few commits. Files made before moderation
// existed lack its two tables and get them here.
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
  CREATE TABLE IF NOT EXISTS removed_scores (
    id INTEGER PRIMARY KEY,     -- of the entry in scores, which stays there
    removed_at INTEGER NOT NULL
  );
  CREATE TABLE IF NOT EXISTS moderation_log (
    id INTEGER PRIMARY KEY,
    at INTEGER NOT NULL,        -- Unix time
    action TEXT NOT NULL,       -- remove or restore
    ids TEXT NOT NULL,          -- the entries changed, separated by spaces
    reason TEXT NOT NULL        -- UTF-8, one line
  );
)sql";

// Every entry, removed ones too, in storage order, which SQLite reads fastest.
constexpr const char* SelectScoresSql = "SELECT id, points, name, date, stored_at FROM scores ORDER BY id";
constexpr const char* SelectLogSql = "SELECT at, action, ids, reason FROM moderation_log ORDER BY id";

std::filesystem::path WithSuffix(const std::filesystem::path& file, const char* suffix) {
    std::filesystem::path named = file;
    named += suffix;
    return named;
}

// SQLite makes the log and the shared-memory file with the database file's mode, so a
// database made private keeps them private too. Made before any connection of this
// process is open on it: closing a descriptor of a file drops SQLite's locks on it.
SqliteConnection OpenWriter(const std::filesystem::path& file) {
    const int made = OpenPrivateFile(file);
    if (made >= 0) ::close(made);
    SqliteConnection connection = OpenSqliteConnection(file, true);
    ExecuteSql(connection.get(), PageSizeSql, "cannot set the page size");
    EnableWriteAheadLog(connection.get());
    ExecuteSql(connection.get(), SchemaSql, "cannot set up the tables");
    WarnIfOpenToOthers(WithSuffix(file, "-wal"));
    WarnIfOpenToOthers(WithSuffix(file, "-shm"));
    return connection;
}

std::filesystem::path LockFileFor(const std::filesystem::path& file) {
    return WithSuffix(file, ".lock");
}

std::unordered_set<std::int64_t> ReadRemovedIds(sqlite3* connection) {
    std::unordered_set<std::int64_t> ids;
    SqliteStatement select(connection, "SELECT id FROM removed_scores");
    while (select.Step()) ids.insert(select.ColumnInt64(0));
    return ids;
}

// Ids count up from 1: the highest is the number of entries, give or take a few deleted
// by hand. A hint only, so an absurd one is ignored.
std::size_t EstimateEntries(sqlite3* connection) {
    SqliteStatement select(connection, "SELECT max(id) FROM scores");
    const std::int64_t highest = select.Step() ? select.ColumnInt64(0) : 0;
    select.Reset();
    return static_cast<std::size_t>(std::clamp<std::int64_t>(highest, 0, std::int64_t{1} << 28));
}

std::vector<ModerationRecord> ReadLog(sqlite3* connection) {
    std::vector<ModerationRecord> records;
    SqliteStatement select(connection, SelectLogSql);
    while (select.Step()) {
        records.push_back({select.ColumnInt64(0), std::string(select.ColumnBytes(1)),
                           std::string(select.ColumnBytes(2)), std::string(select.ColumnBytes(3))});
    }
    return records;
}

bool HasTable(sqlite3* connection, const char* name) {
    SqliteStatement find(connection, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?");
    find.BindText(1, name);
    const bool found = find.Step();
    find.Reset();
    return found;
}

std::int64_t FileSize(const std::filesystem::path& file) {
    std::error_code missing;
    const auto size = std::filesystem::file_size(file, missing);
    return missing ? 0 : static_cast<std::int64_t>(size);
}

// Rolls back unless committed, so that a throw leaves the writer outside any transaction.
class WriteTransaction {
public:
    explicit WriteTransaction(sqlite3* connection) : connection_(connection) {
        ExecuteSql(connection_, "BEGIN IMMEDIATE", "cannot begin a transaction");
    }
    ~WriteTransaction() {
        if (!committed_) sqlite3_exec(connection_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    void Commit() {
        ExecuteSql(connection_, "COMMIT", "cannot commit");
        committed_ = true;
    }

private:
    sqlite3* connection_;
    bool committed_ = false;
};

}  // namespace

SqliteScoreBoard::SqliteScoreBoard(const std::filesystem::path& file)
    : file_(file),
      owner_lock_(LockFileFor(file)),
      writer_(OpenWriter(file)),
      insert_(writer_.get(), "INSERT INTO scores (points, name, date, stored_at) VALUES (?, ?, ?, ?)"),
      probe_(writer_.get(), "SELECT max(id) FROM scores"),
      checkpointer_(file, writer_.get(), write_mutex_),
      reader_(OpenSqliteConnection(file, false)) {
    LoadIndex();
}

// One pass over the table in storage order, which SQLite reads fastest, then one sort. The
// pass reads through a memory map (a read call for each small page would cost more than
// the reading) on a connection of its own, closed afterwards so the map goes with it.
void SqliteScoreBoard::LoadIndex() {
    const SqliteConnection loader = OpenSqliteConnection(file_, false);
    ExecuteSql(loader.get(), "PRAGMA mmap_size = 17179869184", "cannot map the database");
    const std::unordered_set<std::int64_t> removed = ReadRemovedIds(loader.get());
    removed_entries_ = static_cast<std::int64_t>(removed.size());
    std::vector<RankIndex::Loaded> loaded;
    loaded.reserve(EstimateEntries(loader.get()));
    AdviseHugePages(loaded.data(), loaded.capacity() * sizeof(RankIndex::Loaded));
    RankIndex index;
    SqliteStatement select(loader.get(), SelectScoresSql);
    while (select.Step()) {
        const std::int64_t id = select.ColumnInt64(0);
        if (removed.contains(id)) continue;
        const auto points = static_cast<std::int32_t>(select.ColumnInt64(1));
        loaded.push_back({id, points, index.texts().Append(select.ColumnBytes(2), select.ColumnBytes(3),
                                                           select.ColumnInt64(4))});
    }
    index.Build(std::move(loaded));
    index.StartVersionAt(ChooseVersionSeed());
    index_ = std::move(index);
}

void SqliteScoreBoard::ReadRanking(const ViewReader& read) const {
    std::shared_lock lock(index_mutex_);
    read(index_);
}

SqliteScoreBoard::StoredRow SqliteScoreBoard::InsertRow(const ScoreEntry& entry) {
    const auto now = static_cast<std::int64_t>(std::time(nullptr));
    insert_.BindInt64(1, entry.points);
    insert_.BindBlob(2, entry.name);
    insert_.BindText(3, entry.date);
    insert_.BindInt64(4, now);
    insert_.Step();
    return {sqlite3_last_insert_rowid(writer_.get()), now};
}

void SqliteScoreBoard::AddEntry(const ScoreEntry& entry) {
    std::lock_guard write_lock(write_mutex_);
    StoredRow row{};
    try {
        row = InsertRow(entry);  // commits on its own
    } catch (const StorageError&) {
        store_failed_ = true;
        throw;
    }
    store_failed_ = false;
    std::unique_lock index_lock(index_mutex_);
    index_.Insert(row.id, entry, row.stored_at);
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
    std::vector<StoredRow> rows;
    rows.reserve(entries.size());
    WriteTransaction transaction(writer_.get());
    for (const ScoreEntry& entry : entries) rows.push_back(InsertRow(entry));
    transaction.Commit();
    std::unique_lock index_lock(index_mutex_);
    for (std::size_t i = 0; i < entries.size(); ++i) index_.Insert(rows[i].id, entries[i], rows[i].stored_at);
}

std::int64_t SqliteScoreBoard::CountRemovedEntries() const {
    return removed_entries_;
}

// The writer lock is held from the first look at the ids to the index update, so that no
// submission or other change comes between what was checked and what is changed.
ModerationOutcome SqliteScoreBoard::Moderate(const ModerationChange& change) {
    std::lock_guard write_lock(write_mutex_);
    ModerationOutcome outcome;
    SqliteStatement state(writer_.get(),
                          "SELECT EXISTS (SELECT 1 FROM removed_scores WHERE id = ?1) FROM scores WHERE id = ?1");
    for (std::int64_t id : change.ids) {
        state.BindInt64(1, id);
        if (!state.Step()) {
            outcome.unknown.push_back(id);
            continue;
        }
        const bool removed = state.ColumnInt64(0) != 0;
        state.Reset();
        (removed == change.remove ? outcome.unchanged : outcome.changed).push_back(id);
    }
    if (!outcome.ChangedList()) return outcome;
    CommitModeration(outcome, change);
    ApplyToIndex(outcome.changed, change.remove, ReadNewestKeys());
    const auto changed = static_cast<std::int64_t>(outcome.changed.size());
    removed_entries_ += change.remove ? changed : -changed;
    return outcome;
}

void SqliteScoreBoard::CommitModeration(const ModerationOutcome& outcome, const ModerationChange& change) {
    WriteTransaction transaction(writer_.get());
    SqliteStatement mark(writer_.get(), change.remove ? "INSERT INTO removed_scores (id, removed_at) VALUES (?, ?)"
                                                      : "DELETE FROM removed_scores WHERE id = ?");
    for (std::int64_t id : outcome.changed) {
        mark.BindInt64(1, id);
        if (change.remove) mark.BindInt64(2, change.at);
        mark.Step();
    }
    SqliteStatement log(writer_.get(), "INSERT INTO moderation_log (at, action, ids, reason) VALUES (?, ?, ?, ?)");
    log.BindInt64(1, change.at);
    log.BindText(2, change.action());
    log.BindText(3, JoinIds(outcome.changed, " "));
    log.BindText(4, change.reason);
    log.Step();
    transaction.Commit();
}

// Ids count up in storage order: the newest listed entries are the highest ids not removed.
std::vector<RankKey> SqliteScoreBoard::ReadNewestKeys() {
    SqliteStatement select(writer_.get(),
                           "SELECT points, id FROM scores WHERE id NOT IN (SELECT id FROM removed_scores) "
                           "ORDER BY id DESC LIMIT ?");
    select.BindInt64(1, static_cast<std::int64_t>(NewestEntriesKept));
    std::vector<RankKey> newest;
    while (select.Step()) newest.push_back({static_cast<std::int32_t>(select.ColumnInt64(0)), select.ColumnInt64(1)});
    return newest;
}

void SqliteScoreBoard::ApplyToIndex(const std::vector<std::int64_t>& ids, bool remove, std::vector<RankKey> newest) {
    SqliteStatement select(writer_.get(), "SELECT points, name, date, stored_at FROM scores WHERE id = ?");
    std::unique_lock index_lock(index_mutex_);
    for (std::int64_t id : ids) {
        select.BindInt64(1, id);
        if (!select.Step()) continue;  // checked under the same writer lock: never happens
        const auto points = static_cast<std::int32_t>(select.ColumnInt64(0));
        if (remove) {
            index_.Remove({points, id});
        } else {
            index_.Insert(id, {points, std::string(select.ColumnBytes(1)), std::string(select.ColumnBytes(2))},
                          select.ColumnInt64(3));
        }
        select.Reset();
    }
    index_.SetNewest(std::move(newest));
}

std::vector<ModerationRecord> SqliteScoreBoard::ReadModerationLog() const {
    std::lock_guard lock(reader_mutex_);
    return ReadLog(reader_.get());
}

void SqliteScoreBoard::VisitRemovedEntries(const RankedView::PlaceVisitor& visit) const {
    std::lock_guard lock(reader_mutex_);
    SqliteStatement select(reader_.get(),
                           "SELECT s.id, s.points, s.name, s.date, s.stored_at FROM removed_scores r "
                           "JOIN scores s ON s.id = r.id ORDER BY s.points DESC, s.id");
    while (select.Step()) {
        const RankedEntry entry{select.ColumnInt64(0), static_cast<std::int32_t>(select.ColumnInt64(1)),
                                select.ColumnBytes(2), select.ColumnBytes(3), select.ColumnInt64(4)};
        std::int64_t place = 0;
        ReadRanking([&](const RankedView& view) { place = view.PlaceOf(entry.points, entry.id); });
        if (!visit(place, entry)) {
            select.Reset();
            return;
        }
    }
}

BoardFigures SqliteScoreBoard::ReadFigures(std::int64_t now) const {
    BoardFigures figures;
    ReadRanking([&](const RankedView& view) { figures.listed = view.CountEntries(); });
    std::filesystem::path log = file_;
    log += "-wal";
    figures.database_bytes = FileSize(file_) + FileSize(log);

    figures.removed = removed_entries_;
    std::lock_guard lock(reader_mutex_);
    // Entries are stored in time order: walk back from the newest.
    SqliteStatement newest(reader_.get(), "SELECT stored_at FROM scores ORDER BY id DESC");
    while (newest.Step()) {
        if (!CountRecentlyStored(figures, now, newest.ColumnInt64(0))) break;
    }
    newest.Reset();
    return figures;
}

// One read transaction: every table as of the same moment, whatever a service writes.
ListSnapshot SqliteScoreBoard::ReadSnapshot(const std::filesystem::path& file) {
    if (!std::filesystem::exists(file)) throw StorageError("no database at " + file.string());
    const SqliteConnection connection = OpenSqliteConnection(file, false);
    ExecuteSql(connection.get(), "BEGIN", "cannot begin a read");
    ListSnapshot snapshot;
    SqliteStatement scores(connection.get(), SelectScoresSql);
    while (scores.Step()) {
        snapshot.entries.push_back({scores.ColumnInt64(0),
                                    {static_cast<std::int32_t>(scores.ColumnInt64(1)), std::string(scores.ColumnBytes(2)),
                                     std::string(scores.ColumnBytes(3))},
                                    scores.ColumnInt64(4)});
    }
    if (HasTable(connection.get(), "removed_scores")) {
        SqliteStatement removed(connection.get(), "SELECT id, removed_at FROM removed_scores");
        while (removed.Step()) snapshot.removed[removed.ColumnInt64(0)] = removed.ColumnInt64(1);
    }
    if (HasTable(connection.get(), "moderation_log")) snapshot.log = ReadLog(connection.get());
    ExecuteSql(connection.get(), "COMMIT", "cannot end the read");
    return snapshot;
}

BackupOffer SqliteScoreBoard::OfferBackups() const {
    return {file_, {}};
}

void SqliteScoreBoard::CopyList(const std::filesystem::path& target) const {
    // A connection of its own: the copy reads one snapshot from start to end, in a single
    // step, while the writer goes on committing to the log.
    const SqliteConnection source = OpenSqliteConnection(file_, false);
    const SqliteConnection copy = OpenSqliteConnection(target, true);
    sqlite3_backup* backup = sqlite3_backup_init(copy.get(), "main", source.get(), "main");
    if (backup == nullptr) ThrowSqliteError(copy.get(), "cannot start the copy");
    const int status = sqlite3_backup_step(backup, -1);
    sqlite3_backup_finish(backup);
    if (status != SQLITE_DONE) ThrowSqliteError(copy.get(), "cannot copy the database");
}

}  // namespace zorblet::server
