#pragma once

#include <string>
#include <vector>

#include "store/score_board.h"

namespace zorblet::server::testing {

// Boards with fixed dates, so that replies repeat byte for byte.
std::vector<ScoreEntry> ThreeEntryBoard();  // a tie at 300 behind 500
std::vector<ScoreEntry> SixtyEntryBoard();  // ties, negative points, Windows-1252 names
std::vector<ScoreEntry> FiftyTwoEntryBoard();  // the first 52 of those: two past the top fifty
// Ids 1..6 in this order; ranked 1 Anna, 2 Bert, 3 Cleo (a tie with Bert), 4 Dora, 5 Ämil, 6 Finn.
std::vector<ScoreEntry> SixEntryBoard();

// The plain ranking: more points first, equal points in arrival order.
std::vector<ScoreEntry> RankNaively(std::vector<ScoreEntry> entries);

// The best-of and place-list replies for a ranked list, computed the slow, obvious way.
std::string ExpectedBestOf(const std::vector<ScoreEntry>& ranked);
std::string ExpectedPlaceList(const std::vector<ScoreEntry>& ranked, std::int32_t points);

}  // namespace zorblet::server::testing
