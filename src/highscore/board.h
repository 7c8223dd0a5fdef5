#pragma once
// What the transfers hand to the frame: the table rows, the place of a score, whether a
// transfer runs, and failures to show. Workers publish under a lock held only for the
// hand-over; the frame copies what changed into its own view, so it never waits for the
// network and always draws a consistent picture.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "highscore/highscore_rows.h"

namespace zorblet::highscore {

// The frame's copy of the board.
struct BoardView {
    std::vector<std::string> HighscoreRows = MakeHighscoreRows();
    std::int32_t ScorePlace = 0;
    std::string StatusText;            // "Daten werden übertragen..." while a transfer is queued or runs
    std::uint64_t Failures = 0;        // how many transfers have failed so far
    std::string FailureText;           // the last one's words (Windows-1252); empty: the usual failure line
    std::int32_t KeptSubmissions = 0;  // submissions waiting to be sent again
    std::uint64_t Version = 0;
};

class Board {
public:
    Board();

    // Worker side. A transfer counts as running from when it is queued until it ends.
    void BeginTransfer();
    void EndTransfer();
    // The rows a reply brought; indexes outside 0..10000 are never written.
    void PublishRows(const RowsUpdate& update);
    void PublishPlace(std::int32_t place);
    // A failed transfer; text says why, when the service said so (empty: the usual line).
    void RecordFailure(std::string text = {});
    void PublishKept(std::int32_t count);
    // Empties rows first to last (start-up throws away its first list this way).
    void ClearRows(std::int32_t first, std::int32_t last);

    // Frame side: brings the frame's one view up to date; cheap when nothing changed.
    void Refresh(BoardView& view);

private:
    void MarkRows(std::int32_t first, std::int32_t last);

    std::mutex mutex_;
    std::atomic<std::uint64_t> version_{0};
    std::vector<std::string> rows_;
    std::int32_t dirtyFirst_ = LastRowIndex + 1, dirtyLast_ = -1;  // rows the view has not seen
    std::int32_t scorePlace_ = 0;
    int transfers_ = 0;
    std::uint64_t failures_ = 0;
    std::string failureText_;
    std::int32_t kept_ = 0;
};

}  // namespace zorblet::highscore
