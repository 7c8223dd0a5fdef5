#pragma once
// The highscore table's text rows, indices 0..10000, and the batch of rows a reply
// brings, which the caller publishes in one go.

#include <cstdint>
#include <string>
#include <vector>

namespace zorblet::highscore {

inline constexpr std::int32_t LastRowIndex = 10000;
inline constexpr std::size_t HighscoreRowCount = LastRowIndex + 1;

constexpr bool IsRowIndex(std::int64_t index) {
    return index >= 0 && index <= LastRowIndex;
}

// Rows[k] belongs at index FirstRow + k; all of them lie inside 0..LastRowIndex. The
// parsers hand this back instead of writing, so that the owner of HighscoreRows can
// publish it under its own lock.
struct RowsUpdate {
    std::int32_t FirstRow = 0;
    std::vector<std::string> Rows;
};

// HighscoreRows as allocated at start-up: every row empty.
std::vector<std::string> MakeHighscoreRows();

// Writes the update's rows; rows outside the given table are left out.
void ApplyRowsUpdate(std::vector<std::string>& highscoreRows, const RowsUpdate& update);

}  // namespace zorblet::highscore
