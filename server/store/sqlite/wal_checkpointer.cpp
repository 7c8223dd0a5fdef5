#include "store/sqlite/wal_checkpointer.h"

#include <cstdio>

namespace zorblet::server {

namespace {

// SQLite's own default threshold: about 4 MB of log between checkpoints.
constexpr int CheckpointPages = 1000;

}  // namespace

WalCheckpointer::WalCheckpointer(const std::filesystem::path& file, sqlite3* writer, std::mutex& write_mutex)
    : writer_(writer), write_mutex_(write_mutex), connection_(OpenSqliteConnection(file, false)) {
    // A connection that has not yet looked at the file does not know the log exists, and
    // its checkpoints would silently do nothing.
    EnableWriteAheadLog(connection_.get());
    thread_ = std::thread([this] { RunCheckpoints(); });
    sqlite3_wal_hook(writer, &WalCheckpointer::NoteCommit, this);
}

WalCheckpointer::~WalCheckpointer() {
    sqlite3_wal_hook(writer_, nullptr, nullptr);
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

int WalCheckpointer::NoteCommit(void* self, sqlite3*, const char*, int wal_pages) {
    if (wal_pages >= CheckpointPages) {
        auto* checkpointer = static_cast<WalCheckpointer*>(self);
        {
            std::lock_guard lock(checkpointer->mutex_);
            checkpointer->due_ = true;
        }
        checkpointer->wake_.notify_one();
    }
    return SQLITE_OK;
}

void WalCheckpointer::RunCheckpoints() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return due_ || stopping_; });
        if (stopping_) return;
        due_ = false;
        lock.unlock();
        CopyLog();
        lock.lock();
    }
}

// Two passes: the bulk while submissions go on, then what they added meanwhile with
// submissions held back for that moment. Only a complete copy lets the next commit start
// the log from its beginning; under steady submissions, copies that never catch up would
// let it grow without bound.
void WalCheckpointer::CopyLog() {
    Checkpoint();
    std::lock_guard hold_writes(write_mutex_);
    Checkpoint();
}

void WalCheckpointer::Checkpoint() {
    // PASSIVE never waits for readers; a frame a reader still needs waits for the next copy.
    const int status =
        sqlite3_wal_checkpoint_v2(connection_.get(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    if (status != SQLITE_OK && status != SQLITE_BUSY) {
        std::fprintf(stderr, "zorblet-highscore-server: checkpoint failed: %s\n", sqlite3_errmsg(connection_.get()));
    }
}

}  // namespace zorblet::server
