#pragma once

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "store/sqlite/sqlite_handle.h"

namespace zorblet::server {

// Copies the write-ahead log back into the database file on a thread and connection of
// its own, so that submissions rarely wait while a checkpoint copies pages and syncs.
// It takes over from SQLite's automatic checkpoint on the writer connection, whose
// commits are serialised by `write_mutex`.
class WalCheckpointer {
public:
    WalCheckpointer(const std::filesystem::path& file, sqlite3* writer, std::mutex& write_mutex);
    ~WalCheckpointer();
    WalCheckpointer(const WalCheckpointer&) = delete;
    WalCheckpointer& operator=(const WalCheckpointer&) = delete;

private:
    static int NoteCommit(void* self, sqlite3* writer, const char* schema, int wal_pages);
    void RunCheckpoints();
    void CopyLog();
    void Checkpoint();

    sqlite3* writer_;
    std::mutex& write_mutex_;
    SqliteConnection connection_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool due_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace zorblet::server
