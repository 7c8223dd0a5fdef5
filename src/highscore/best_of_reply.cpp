#include "highscore/best_of_reply.h"

#include "highscore/reply_fields.h"
#include "highscore/row_format.h"
#include "shared/game_math.h"

namespace zorblet::highscore {

namespace {

std::string NextBestOfRow(std::string& replyText, std::int64_t rank) {
    const std::string points = NextField(replyText, FieldEnd);
    const std::string name = NextField(replyText, FieldEnd);
    const std::string date = NextField(replyText, RecordEnd);
    return FormatBestOfRow(rank, points, name, date);
}

}  // namespace

BestOfUpdate ParseBestOf(std::string& replyText) {
    BestOfUpdate update;
    update.EntryCount = ParseInteger(NextField(replyText, RecordEnd));
    std::vector<std::string>& rows = update.Rows.Rows;
    rows.resize(BestOfRowCount);
    rows[0] = "     Zorblet hat " + DecimalText(update.EntryCount) + " HighScore-Eintr\xE4ge";
    for (std::int32_t index = 2; index <= 51; ++index) rows[index] = NextBestOfRow(replyText, index - 1);
    rows[52] = rows[53] = BestOfGapRow;
    // The last five come last place first; 64 bits keep ranks near the int limits exact.
    for (std::int32_t index = 58; index >= 54; --index) {
        rows[index] = NextBestOfRow(replyText, std::int64_t{update.EntryCount} + index - 58);
    }
    return update;
}

}  // namespace zorblet::highscore
