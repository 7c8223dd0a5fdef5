#pragma once

#include <atomic>
#include <filesystem>
#include <mutex>
#include <shared_mutex>
#include <span>
#include <string>
#include <vector>

#include "store/list_backups.h"
#include "store/list_moderation.h"
#include "store/list_snapshot.h"
#include "store/score_board.h"
#include "store/verified_game.h"
#include "store/sqlite/file_lock.h"
#include "store/sqlite/rank_index.h"
#include "store/sqlite/sqlite_handle.h"
#include "store/sqlite/wal_checkpointer.h"

namespace zorblet::server {

// Scores in one SQLite file (write-ahead log), ranked by in-memory indexes (all listed
// entries, and the verified ones among them) that are built from the file at start and
// updated right after each committed change. One server owns a file at a time, since each
// keeps its own indexes. Removed entries stay in the file, listed in a table of their own,
// and leave the indexes until they are restored. The records of verified games are kept
// in a table beside as `kept` says, and the tickets used in another until they expire.
class SqliteScoreBoard final : public ScoreBoard, public ListModeration, public ListBackups {
public:
    // Opens or creates the file, brings an older file's tables up to date (its entries
    // then read unverified), loads the listed entries and drops records no longer kept;
    // throws StorageError.
    explicit SqliteScoreBoard(const std::filesystem::path& file, KeptGames kept = {});

    using ScoreBoard::ReadRanking;
    void ReadRanking(Listing listing, const ViewReader& read) const override;
    std::int64_t AddEntry(const ScoreEntry& entry) override;
    StoredGame AddGame(const VerifiedGame& game, std::int64_t repeat_of) override;
    std::optional<UsedTicket> FindUsedTicket(const std::string& id) const override;
    std::optional<ScoreEntry> ReadEntry(std::int64_t id) const override;
    std::optional<std::string> ReadKeptGame(std::int64_t id) const override;
    std::vector<bool> FindKeptGames(std::span<const std::int64_t> ids) const override;
    bool CheckHealth() const override;
    std::int64_t CountRemovedEntries() const override;
    // Stores all entries in one transaction, or none of them: for filling a board fast.
    void AddEntries(std::span<const ScoreEntry> entries);

    // The list in `file` as of one moment, read while a service may go on writing it; a
    // file made before moderation existed has no removals and no log. Throws StorageError.
    static ListSnapshot ReadSnapshot(const std::filesystem::path& file);

    std::vector<ModerationRecord> ReadModerationLog() const override;
    void VisitRemovedEntries(const RankedView::PlaceVisitor& visit) const override;
    BoardFigures ReadFigures(std::int64_t now) const override;
    // Backups are copies of the database file, taken while submissions go on.
    BackupOffer OfferBackups() const override;
    void CopyList(const std::filesystem::path& target) const override;

private:
    struct StoredRow {
        std::int64_t id;
        std::int64_t stored_at;
    };
    StoredRow InsertRow(const ScoreEntry& entry);
    void LoadIndex();
    void InsertIntoIndexes(std::int64_t id, const ScoreEntry& entry, std::int64_t stored_at);
    ModerationOutcome Moderate(const ModerationChange& change) override;
    void CommitModeration(const ModerationOutcome& outcome, const ModerationChange& change);
    std::vector<RankKey> ReadNewestKeys(bool verified_only);
    // Changes the indexes under their lock, the newest entries as read after the change included.
    void ApplyToIndex(const std::vector<std::int64_t>& ids, bool remove);
    // Whether the record of the verified entry `key` is still kept (the index lock held).
    bool KeepsGameOf(RankKey key) const;
    // Drops the records of these entries that are no longer kept (the writer lock held).
    void DropGamesNoLongerKept(const std::vector<RankKey>& candidates);
    void DropAllGamesNoLongerKept();

    const std::filesystem::path file_;
    ExclusiveFileLock owner_lock_;
    SqliteConnection writer_;
    SqliteStatement insert_;
    mutable std::mutex write_mutex_;  // serialises the writer connection's statements
    mutable SqliteStatement probe_;   // a cheap read for the health check
    std::atomic<bool> store_failed_{false};  // since the last entry stored
    WalCheckpointer checkpointer_;
    mutable std::mutex reader_mutex_;  // serialises the reader's statements
    SqliteConnection reader_;          // for operators' reads, beside the writer
    mutable std::shared_mutex index_mutex_;
    RankIndex index_;
    RankIndex verified_index_;
    const KeptGames kept_;
    std::atomic<std::int64_t> removed_entries_{0};  // changed under the writer lock
};

}  // namespace zorblet::server
