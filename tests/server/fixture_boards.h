#pragma once

#include <vector>

#include "score_board.h"

namespace zorblet::server::testing {

// Boards with fixed dates, so that replies repeat byte for byte.
std::vector<ScoreEntry> ThreeEntryBoard();  // a tie at 300 behind 500
std::vector<ScoreEntry> SixtyEntryBoard();  // ties, negative points, Windows-1252 names
std::vector<ScoreEntry> FiftyTwoEntryBoard();  // the first 52 of those: two past the top fifty

// The plain ranking: more points first, equal points in arrival order.
std::vector<ScoreEntry> RankNaively(std::vector<ScoreEntry> entries);

}  // namespace zorblet::server::testing
