#include "highscore/highscore_rows.h"

#include <algorithm>

namespace zorblet::highscore {

std::vector<std::string> MakeHighscoreRows() {
    return std::vector<std::string>(HighscoreRowCount);
}

void ApplyRowsUpdate(std::vector<std::string>& highscoreRows, const RowsUpdate& update) {
    std::size_t index = static_cast<std::size_t>(std::max<std::int32_t>(update.FirstRow, 0));
    for (const std::string& row : update.Rows) {
        if (index >= highscoreRows.size()) break;
        highscoreRows[index++] = row;
    }
}

}  // namespace zorblet::highscore
