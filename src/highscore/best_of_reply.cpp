#include "highscore/best_of_reply.h"

#include <algorithm>

#include "highscore/reply_fields.h"
#include "highscore/row_format.h"
#include "shared/game_math.h"

namespace zorblet::highscore {

namespace {

// The lowest rank of the last five that is shown: lower ones stand among the top fifty.
constexpr std::int64_t FirstBottomRank = 51;

// A row only for an entry the reply held; a rank without one stays empty, so no place
// that does not exist is drawn.
std::string NextBestOfRow(std::string& replyText, std::int64_t rank, std::int64_t lowestRank) {
    const ReplyRecord record = NextRecord(replyText);
    if (!record.Exists || rank < lowestRank) return {};
    return FormatBestOfRow(rank, record.Points, record.Name, record.Date);
}

}  // namespace

BestOfUpdate ParseBestOf(std::string& replyText) {
    BestOfUpdate update;
    update.EntryCount = ParseInteger(NextField(replyText, RecordEnd));
    std::vector<std::string>& rows = update.Rows.Rows;
    rows.resize(BestOfRowCount);
    rows[0] = "     Zorblet hat " + DecimalText(update.EntryCount) + " HighScore-Eintr\xE4ge";
    for (std::int32_t index = 2; index <= 51; ++index) rows[index] = NextBestOfRow(replyText, index - 1, 1);
    // The last five come last place first; 64 bits keep ranks near the int limits exact.
    for (std::int32_t index = 58; index >= 54; --index) {
        rows[index] = NextBestOfRow(replyText, std::int64_t{update.EntryCount} + index - 58, FirstBottomRank);
    }
    // The gap stands between the top fifty and the bottom rows, when there are any.
    const bool bottomShown =
        std::any_of(rows.begin() + 54, rows.end(), [](const std::string& row) { return !row.empty(); });
    if (bottomShown) rows[52] = rows[53] = BestOfGapRow;
    return update;
}

}  // namespace zorblet::highscore
