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
  CREATE TABLE IF NOT EXISTS kept_games (
    id INTEGER PRIMARY KEY,     -- of the verified entry in scores
    record BLOB NOT NULL        -- the record as submitted
  );
  CREATE TABLE IF NOT EXISTS used_tickets (
    id TEXT PRIMARY KEY,        -- the ticket's id, hex
    digest TEXT NOT NULL,       -- of the record sent with it
    entry_id INTEGER NOT NULL,  -- the entry it stored, or the one its score repeated
    expires_at INTEGER NOT NULL -- Unix time: forgotten after it
  );
  CREATE INDEX IF NOT EXISTS used_tickets_expiry ON used_tickets (expires_at);
)sql";

// Files made before verified games existed get the column, their entries unverified.
constexpr const char* AddVerifiedSql = "ALTER TABLE scores ADD COLUMN verified INTEGER NOT NULL DEFAULT 0";

// Every entry, removed ones too, in storage order, which SQLite reads fastest.
constexpr const char* SelectScoresSql =
    "SELECT id, points, name, date, stored_at, verified FROM scores ORDER BY id";
constexpr const char* SelectLogSql = "SELECT at, action, ids, reason FROM moderation_log ORDER BY id";

bool HasColumn(sqlite3* connection, const char* table, std::string_view column) {
    const std::string sql = std::string("PRAGMA table_info(") + table + ")";
    SqliteStatement columns(connection, sql.c_str());
    bool found = false;
    while (columns.Step()) found = found || columns.ColumnBytes(1) == column;
    return found;
}

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
    if (!HasColumn(connection.get(), "scores", "verified")) {
        ExecuteSql(connection.get(), AddVerifiedSql, "cannot add the verified mark");
    }
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

SqliteScoreBoard::SqliteScoreBoard(const std::filesystem::path& file, KeptGames kept)
    : file_(file),
      owner_lock_(LockFileFor(file)),
      writer_(OpenWriter(file)),
      insert_(writer_.get(), "INSERT INTO scores (points, name, date, stored_at, verified) VALUES (?, ?, ?, ?, ?)"),
      probe_(writer_.get(), "SELECT max(id) FROM scores"),
      checkpointer_(file, writer_.get(), write_mutex_),
      reader_(OpenSqliteConnection(file, false)),
      kept_(kept) {
    LoadIndex();
    DropAllGamesNoLongerKept();
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
    std::vector<RankIndex::Loaded> verified;
    RankIndex index;
    RankIndex verified_index;
    SqliteStatement select(loader.get(), SelectScoresSql);
    while (select.Step()) {
        const std::int64_t id = select.ColumnInt64(0);
        if (removed.contains(id)) continue;
        const auto points = static_cast<std::int32_t>(select.ColumnInt64(1));
        const bool is_verified = select.ColumnInt64(5) != 0;
        loaded.push_back({id, points, index.texts().Append(select.ColumnBytes(2), select.ColumnBytes(3),
                                                           select.ColumnInt64(4), is_verified)});
        if (is_verified) {
            verified.push_back({id, points, verified_index.texts().Append(select.ColumnBytes(2), select.ColumnBytes(3),
                                                                          select.ColumnInt64(4), true)});
        }
    }
    index.Build(std::move(loaded));
    index.StartVersionAt(ChooseVersionSeed());
    verified_index.Build(std::move(verified));
    verified_index.StartVersionAt(ChooseVersionSeed());
    index_ = std::move(index);
    verified_index_ = std::move(verified_index);
}

void SqliteScoreBoard::ReadRanking(Listing listing, const ViewReader& read) const {
    std::shared_lock lock(index_mutex_);
    read(listing == Listing::Verified ? verified_index_ : index_);
}

SqliteScoreBoard::StoredRow SqliteScoreBoard::InsertRow(const ScoreEntry& entry) {
    const auto now = static_cast<std::int64_t>(std::time(nullptr));
    insert_.BindInt64(1, entry.points);
    insert_.BindBlob(2, entry.name);
    insert_.BindText(3, entry.date);
    insert_.BindInt64(4, now);
    insert_.BindInt64(5, entry.verified ? 1 : 0);
    insert_.Step();
    return {sqlite3_last_insert_rowid(writer_.get()), now};
}

void SqliteScoreBoard::InsertIntoIndexes(std::int64_t id, const ScoreEntry& entry, std::int64_t stored_at) {
    index_.Insert(id, entry, stored_at);
    if (entry.verified) verified_index_.Insert(id, entry, stored_at);
}

std::int64_t SqliteScoreBoard::AddEntry(const ScoreEntry& entry) {
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
    InsertIntoIndexes(row.id, entry, row.stored_at);
    return row.id;
}

// The ticket's check, the entry, its record and the ticket are one transaction under the
// writer lock: two arrivals of one ticket cannot both store.
StoredGame SqliteScoreBoard::AddGame(const VerifiedGame& game, std::int64_t repeat_of) {
    std::lock_guard write_lock(write_mutex_);
    const auto now = static_cast<std::int64_t>(std::time(nullptr));
    try {
        WriteTransaction transaction(writer_.get());
        SqliteStatement forget(writer_.get(), "DELETE FROM used_tickets WHERE expires_at < ?");
        forget.BindInt64(1, now);
        forget.Step();
        SqliteStatement find(writer_.get(), "SELECT digest, entry_id FROM used_tickets WHERE id = ?");
        find.BindText(1, game.ticket.id);
        if (find.Step()) {
            const bool same = find.ColumnBytes(0) == game.ticket.digest;
            const std::int64_t entry = find.ColumnInt64(1);
            find.Reset();
            return {same ? GameStoreResult::Resent : GameStoreResult::TicketUsed, same ? entry : 0};
        }
        StoredGame stored{GameStoreResult::Repeat, repeat_of};
        std::int64_t stored_at = now;
        if (repeat_of == 0) {
            const StoredRow row = InsertRow(game.entry);
            stored = {GameStoreResult::Stored, row.id};
            stored_at = row.stored_at;
            SqliteStatement keep(writer_.get(), "INSERT INTO kept_games (id, record) VALUES (?, ?)");
            keep.BindInt64(1, row.id);
            keep.BindBlob(2, game.record);
            keep.Step();
        }
        SqliteStatement use(writer_.get(),
                            "INSERT INTO used_tickets (id, digest, entry_id, expires_at) VALUES (?, ?, ?, ?)");
        use.BindText(1, game.ticket.id);
        use.BindText(2, game.ticket.digest);
        use.BindInt64(3, stored.id);
        use.BindInt64(4, game.ticket.expires_at);
        use.Step();
        transaction.Commit();
        store_failed_ = false;
        if (stored.result != GameStoreResult::Stored) return stored;
        std::vector<RankKey> candidates;
        {
            std::unique_lock index_lock(index_mutex_);
            if (verified_index_.newest().size() == NewestEntriesKept) candidates.push_back(verified_index_.newest().back());
            InsertIntoIndexes(stored.id, game.entry, stored_at);
            verified_index_.VisitRanks(kept_.keep_best + 1, kept_.keep_best + 1, [&](const RankedEntry& entry) {
                candidates.push_back({entry.points, entry.id});
            });
        }
        DropGamesNoLongerKept(candidates);
        return stored;
    } catch (const StorageError&) {
        store_failed_ = true;
        throw;
    }
}

bool SqliteScoreBoard::KeepsGameOf(RankKey key) const {
    const auto& newest = verified_index_.newest();
    if (std::find(newest.begin(), newest.end(), key) != newest.end()) return true;
    return verified_index_.Contains(key) && verified_index_.PlaceOf(key.points, key.id) <= kept_.keep_best;
}

void SqliteScoreBoard::DropGamesNoLongerKept(const std::vector<RankKey>& candidates) {
    std::vector<std::int64_t> dropped;
    {
        std::shared_lock index_lock(index_mutex_);
        for (const RankKey& key : candidates) {
            if (!KeepsGameOf(key)) dropped.push_back(key.id);
        }
    }
    SqliteStatement drop(writer_.get(), "DELETE FROM kept_games WHERE id = ?");
    for (std::int64_t id : dropped) {
        drop.BindInt64(1, id);
        drop.Step();
    }
}

// At start, after the index is loaded: a smaller --keep-games than before drops the rest.
void SqliteScoreBoard::DropAllGamesNoLongerKept() {
    std::lock_guard write_lock(write_mutex_);
    std::vector<RankKey> candidates;
    SqliteStatement select(writer_.get(), "SELECT s.points, s.id FROM kept_games k JOIN scores s ON s.id = k.id");
    while (select.Step()) candidates.push_back({static_cast<std::int32_t>(select.ColumnInt64(0)), select.ColumnInt64(1)});
    WriteTransaction transaction(writer_.get());
    DropGamesNoLongerKept(candidates);
    transaction.Commit();
}

std::optional<UsedTicket> SqliteScoreBoard::FindUsedTicket(const std::string& id) const {
    std::lock_guard lock(reader_mutex_);
    SqliteStatement find(reader_.get(), "SELECT digest, entry_id, expires_at FROM used_tickets WHERE id = ?");
    find.BindText(1, id);
    if (!find.Step()) return std::nullopt;
    UsedTicket used{id, std::string(find.ColumnBytes(0)), find.ColumnInt64(1), find.ColumnInt64(2)};
    find.Reset();
    if (used.expires_at < static_cast<std::int64_t>(std::time(nullptr))) return std::nullopt;
    return used;
}

std::optional<ScoreEntry> SqliteScoreBoard::ReadEntry(std::int64_t id) const {
    std::lock_guard lock(reader_mutex_);
    SqliteStatement find(reader_.get(), "SELECT points, name, date, verified FROM scores WHERE id = ?");
    find.BindInt64(1, id);
    if (!find.Step()) return std::nullopt;
    ScoreEntry entry{static_cast<std::int32_t>(find.ColumnInt64(0)), std::string(find.ColumnBytes(1)),
                     std::string(find.ColumnBytes(2)), find.ColumnInt64(3) != 0};
    find.Reset();
    return entry;
}

std::optional<std::string> SqliteScoreBoard::ReadKeptGame(std::int64_t id) const {
    std::lock_guard lock(reader_mutex_);
    SqliteStatement find(reader_.get(), "SELECT record FROM kept_games WHERE id = ?");
    find.BindInt64(1, id);
    if (!find.Step()) return std::nullopt;
    std::string record(find.ColumnBytes(0));
    find.Reset();
    return record;
}

std::vector<bool> SqliteScoreBoard::FindKeptGames(std::span<const std::int64_t> ids) const {
    std::lock_guard lock(reader_mutex_);
    SqliteStatement find(reader_.get(), "SELECT 1 FROM kept_games WHERE id = ?");
    std::vector<bool> kept;
    kept.reserve(ids.size());
    for (std::int64_t id : ids) {
        find.BindInt64(1, id);
        kept.push_back(find.Step());
        find.Reset();
    }
    return kept;
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
    for (std::size_t i = 0; i < entries.size(); ++i) InsertIntoIndexes(rows[i].id, entries[i], rows[i].stored_at);
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
    ApplyToIndex(outcome.changed, change.remove);
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
    if (change.remove) {
        SqliteStatement drop(writer_.get(), "DELETE FROM kept_games WHERE id = ?");
        for (std::int64_t id : outcome.changed) {
            drop.BindInt64(1, id);
            drop.Step();
        }
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
std::vector<RankKey> SqliteScoreBoard::ReadNewestKeys(bool verified_only) {
    SqliteStatement select(writer_.get(), verified_only
                                              ? "SELECT points, id FROM scores WHERE verified = 1 AND id NOT IN "
                                                "(SELECT id FROM removed_scores) ORDER BY id DESC LIMIT ?"
                                              : "SELECT points, id FROM scores WHERE id NOT IN "
                                                "(SELECT id FROM removed_scores) ORDER BY id DESC LIMIT ?");
    select.BindInt64(1, static_cast<std::int64_t>(NewestEntriesKept));
    std::vector<RankKey> newest;
    while (select.Step()) newest.push_back({static_cast<std::int32_t>(select.ColumnInt64(0)), select.ColumnInt64(1)});
    return newest;
}

void SqliteScoreBoard::ApplyToIndex(const std::vector<std::int64_t>& ids, bool remove) {
    std::vector<RankKey> newest = ReadNewestKeys(false);
    std::vector<RankKey> newest_verified = ReadNewestKeys(true);
    SqliteStatement select(writer_.get(), "SELECT points, name, date, stored_at, verified FROM scores WHERE id = ?");
    std::unique_lock index_lock(index_mutex_);
    for (std::int64_t id : ids) {
        select.BindInt64(1, id);
        if (!select.Step()) continue;  // checked under the same writer lock: never happens
        const auto points = static_cast<std::int32_t>(select.ColumnInt64(0));
        if (remove) {
            index_.Remove({points, id});
            verified_index_.Remove({points, id});
        } else {
            InsertIntoIndexes(id,
                              {points, std::string(select.ColumnBytes(1)), std::string(select.ColumnBytes(2)),
                               select.ColumnInt64(4) != 0},
                              select.ColumnInt64(3));
        }
        select.Reset();
    }
    index_.SetNewest(std::move(newest));
    verified_index_.SetNewest(std::move(newest_verified));
}

std::vector<ModerationRecord> SqliteScoreBoard::ReadModerationLog() const {
    std::lock_guard lock(reader_mutex_);
    return ReadLog(reader_.get());
}

void SqliteScoreBoard::VisitRemovedEntries(const RankedView::PlaceVisitor& visit) const {
    std::lock_guard lock(reader_mutex_);
    SqliteStatement select(reader_.get(),
                           "SELECT s.id, s.points, s.name, s.date, s.stored_at, s.verified FROM removed_scores r "
                           "JOIN scores s ON s.id = r.id ORDER BY s.points DESC, s.id");
    while (select.Step()) {
        const RankedEntry entry{select.ColumnInt64(0), static_cast<std::int32_t>(select.ColumnInt64(1)),
                                select.ColumnBytes(2), select.ColumnBytes(3), select.ColumnInt64(4),
                                select.ColumnInt64(5) != 0};
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
    ReadRanking(Listing::Verified, [&](const RankedView& view) { figures.verified = view.CountEntries(); });
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
    SqliteStatement kept(reader_.get(), "SELECT count(*) FROM kept_games");
    if (kept.Step()) figures.kept_games = kept.ColumnInt64(0);
    kept.Reset();
    return figures;
}

// One read transaction: every table as of the same moment, whatever a service writes.
ListSnapshot SqliteScoreBoard::ReadSnapshot(const std::filesystem::path& file) {
    if (!std::filesystem::exists(file)) throw StorageError("no database at " + file.string());
    const SqliteConnection connection = OpenSqliteConnection(file, false);
    ExecuteSql(connection.get(), "BEGIN", "cannot begin a read");
    ListSnapshot snapshot;
    const bool has_verified = HasColumn(connection.get(), "scores", "verified");
    SqliteStatement scores(connection.get(), has_verified ? SelectScoresSql
                                                          : "SELECT id, points, name, date, stored_at, 0 FROM scores "
                                                            "ORDER BY id");
    while (scores.Step()) {
        snapshot.entries.push_back({scores.ColumnInt64(0),
                                    {static_cast<std::int32_t>(scores.ColumnInt64(1)), std::string(scores.ColumnBytes(2)),
                                     std::string(scores.ColumnBytes(3)), scores.ColumnInt64(5) != 0},
                                    scores.ColumnInt64(4)});
    }
    if (HasTable(connection.get(), "kept_games")) {
        SqliteStatement games(connection.get(), "SELECT id, record FROM kept_games ORDER BY id");
        while (games.Step()) snapshot.games[games.ColumnInt64(0)] = std::string(games.ColumnBytes(1));
    }
    if (HasTable(connection.get(), "used_tickets")) {
        SqliteStatement tickets(connection.get(), "SELECT id, digest, entry_id, expires_at FROM used_tickets ORDER BY id");
        while (tickets.Step()) {
            snapshot.tickets.push_back({std::string(tickets.ColumnBytes(0)), std::string(tickets.ColumnBytes(1)),
                                        tickets.ColumnInt64(2), tickets.ColumnInt64(3)});
        }
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
