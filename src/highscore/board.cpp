#include "highscore/board.h"

#include <algorithm>
#include <utility>

namespace zorblet::highscore {

namespace {

// The status line while a transfer runs; it also hides the table rows.
constexpr const char* TransferRunningText =
    "Daten werden \xFC"
    "bertragen...";

}  // namespace

Board::Board() : rows_(MakeHighscoreRows()) {}

void Board::BeginTransfer() {
    std::lock_guard lock(mutex_);
    ++transfers_;
    version_.fetch_add(1, std::memory_order_release);
}

void Board::EndTransfer() {
    std::lock_guard lock(mutex_);
    transfers_ = std::max(0, transfers_ - 1);
    version_.fetch_add(1, std::memory_order_release);
}

void Board::PublishRows(const RowsUpdate& update) {
    std::lock_guard lock(mutex_);
    ApplyRowsUpdate(rows_, update);
    const std::int64_t first = update.FirstRow;
    const std::int64_t last = first + static_cast<std::int64_t>(update.Rows.size()) - 1;
    MarkRows(static_cast<std::int32_t>(std::clamp<std::int64_t>(first, 0, LastRowIndex + 1)),
             static_cast<std::int32_t>(std::clamp<std::int64_t>(last, -1, LastRowIndex)));
}

void Board::PublishPlace(std::int32_t place) {
    std::lock_guard lock(mutex_);
    scorePlace_ = place;
    version_.fetch_add(1, std::memory_order_release);
}

void Board::RecordFailure(std::string text) {
    std::lock_guard lock(mutex_);
    ++failures_;
    failureText_ = std::move(text);
    version_.fetch_add(1, std::memory_order_release);
}

void Board::PublishKept(std::int32_t count) {
    std::lock_guard lock(mutex_);
    kept_ = count;
    version_.fetch_add(1, std::memory_order_release);
}

void Board::ClearRows(std::int32_t first, std::int32_t last) {
    std::lock_guard lock(mutex_);
    first = std::clamp(first, 0, LastRowIndex + 1);
    last = std::clamp(last, -1, LastRowIndex);
    for (std::int32_t i = first; i <= last; ++i) rows_[static_cast<std::size_t>(i)].clear();
    MarkRows(first, last);
}

void Board::MarkRows(std::int32_t first, std::int32_t last) {
    if (first <= last) {
        dirtyFirst_ = std::min(dirtyFirst_, first);
        dirtyLast_ = std::max(dirtyLast_, last);
    }
    version_.fetch_add(1, std::memory_order_release);
}

void Board::Refresh(BoardView& view) {
    if (version_.load(std::memory_order_acquire) == view.Version) return;
    std::lock_guard lock(mutex_);
    // One view (the frame's) follows the board, so what it has copied is clean again.
    for (std::int32_t i = dirtyFirst_; i <= dirtyLast_; ++i) {
        view.HighscoreRows[static_cast<std::size_t>(i)] = rows_[static_cast<std::size_t>(i)];
    }
    dirtyFirst_ = LastRowIndex + 1;
    dirtyLast_ = -1;
    view.ScorePlace = scorePlace_;
    view.StatusText = transfers_ > 0 ? TransferRunningText : "";
    view.Failures = failures_;
    view.FailureText = failureText_;
    view.KeptSubmissions = kept_;
    view.Version = version_.load(std::memory_order_relaxed);
}

}  // namespace zorblet::highscore
