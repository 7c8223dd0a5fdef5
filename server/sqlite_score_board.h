#pragma once

#include <atomic>
#include <filesystem>
#include <mutex>
#include <shared_mutex>
#include <span>

#include "file_lock.h"
#include "rank_index.h"
#include "score_board.h"
#include "sqlite_handle.h"
#include "wal_checkpointer.h"

namespace zorblet::server {

// Scores in one SQLite file (write-ahead log), ranked by an in-memory index that is
// rebuilt from the file at start and updated right after each committed insert. One
// server owns a file at a time, since each keeps its own index.
class SqliteScoreBoard final : public ScoreBoard {
public:
    // Opens or creates the file and loads its entries; throws StorageError.
    explicit SqliteScoreBoard(const std::filesystem::path& file);

    void ReadRanking(const ViewReader& read) const override;
    void AddEntry(const ScoreEntry& entry) override;
    bool CheckHealth() const override;
    // Stores all entries in one transaction, or none of them: for filling a board fast.
    void AddEntries(std::span<const ScoreEntry> entries);

private:
    std::int64_t InsertRow(const ScoreEntry& entry);
    void LoadIndex();

    ExclusiveFileLock owner_lock_;
    SqliteConnection writer_;
    SqliteStatement insert_;
    mutable std::mutex write_mutex_;  // serialises the writer connection's statements
    mutable SqliteStatement probe_;   // a cheap read for the health check
    std::atomic<bool> store_failed_{false};  // since the last entry stored
    WalCheckpointer checkpointer_;
    mutable std::shared_mutex index_mutex_;
    RankIndex index_;
};

}  // namespace zorblet::server
