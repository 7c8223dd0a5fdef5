// libFuzzer over what the highscore service sends: the input is a reply, cut as a best-of
// table and as a place list, written into a full table of rows and drawn in both views,
// and read as each answer of the service's JSON API. Whatever the reply holds, rows are
// written and read only inside 0..10000, nothing overflows (UBSan), and the parsing keeps
// its promises, checked below.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "highscore/best_of_reply.h"
#include "highscore/highscore_table.h"
#include "highscore/place_list_reply.h"
#include "highscore/place_view_layout.h"
#include "highscore/reply_fields.h"
#include "highscore/service_api.h"
#include "render/font.h"

namespace {

using namespace zorblet::highscore;

#define REQUIRE(condition)                                                               \
    do {                                                                                 \
        if (!(condition)) {                                                              \
            std::fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                \
        }                                                                                \
    } while (false)

// One pixel of ink per character, ten wide: the table's layout at a fraction of the cost.
class DotGlyphSource final : public zorblet::platform::GlyphSource {
public:
    int CellHeight() const override { return 19; }
    zorblet::platform::GlyphBitmap Render(std::uint8_t) override {
        zorblet::platform::GlyphBitmap glyph;
        glyph.Width = glyph.Height = 1;
        glyph.Advance = 10;
        glyph.Coverage = {1};
        return glyph;
    }
};

zorblet::render::Fonts& DotFonts() {
    using zorblet::render::Font;
    static zorblet::render::Fonts fonts{
        Font(std::make_unique<DotGlyphSource>()), Font(std::make_unique<DotGlyphSource>()),
        Font(std::make_unique<DotGlyphSource>()), Font(std::make_unique<DotGlyphSource>()),
        Font(std::make_unique<DotGlyphSource>()),
    };
    return fonts;
}

// The integer a field means, worked out another way: its leading [-]digits as a decimal,
// clamped to 32 bits.
std::int32_t ExpectedInteger(const std::string& field) {
    std::size_t end = field.empty() || field[0] != '-' ? 0 : 1;
    const std::size_t digitsStart = end;
    while (end < field.size() && field[end] >= '0' && field[end] <= '9') ++end;
    std::string digits = field.substr(digitsStart, end - digitsStart);
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    const bool negative = digitsStart == 1;
    if (digits.size() > 10) {
        return negative ? std::numeric_limits<std::int32_t>::min() : std::numeric_limits<std::int32_t>::max();
    }
    const long long magnitude = digits.empty() ? 0 : std::stoll(digits);
    return static_cast<std::int32_t>(std::clamp<long long>(negative ? -magnitude : magnitude,
                                                           std::numeric_limits<std::int32_t>::min(),
                                                           std::numeric_limits<std::int32_t>::max()));
}

void CheckFieldCutting(const std::string& reply) {
    for (std::string_view separator : {FieldEnd, RecordEnd}) {
        std::string rest = reply;
        const std::string field = NextField(rest, separator);
        if (reply.find(separator) == std::string::npos) {
            REQUIRE(field.empty() && rest == reply);
        } else {
            REQUIRE(field + std::string(separator) + rest == reply);
            REQUIRE(field.find(separator) == std::string::npos);
        }
        REQUIRE(ParseInteger(field) == ExpectedInteger(field));
    }
}

bool IsSuffixOf(const std::string& rest, const std::string& whole) {
    return rest.size() <= whole.size() && whole.compare(whole.size() - rest.size(), rest.size(), rest) == 0;
}

void CheckBestOf(const BestOfUpdate& update, const std::string& reply, const std::string& rest) {
    std::string firstLine = reply;
    REQUIRE(update.EntryCount == ParseInteger(NextField(firstLine, RecordEnd)));
    REQUIRE(IsSuffixOf(rest, reply));
    REQUIRE(update.Rows.FirstRow == 0);
    REQUIRE(update.Rows.Rows.size() == BestOfRowCount);
    REQUIRE(update.Rows.Rows[0].rfind("     Zorblet hat ", 0) == 0);
    REQUIRE(update.Rows.Rows[1].empty());
    const std::vector<std::string>& rows = update.Rows.Rows;
    const bool bottomShown = std::any_of(rows.begin() + 54, rows.end(), [](const std::string& row) { return !row.empty(); });
    REQUIRE(rows[52] == rows[53] && rows[52] == (bottomShown ? BestOfGapRow : ""));
    // A row is an entry's, with its rank label and columns, or empty.
    for (int index = 2; index < BestOfRowCount; ++index) {
        if (index == 52 || index == 53) continue;
        REQUIRE(rows[index].empty() || rows[index].size() >= 40);
    }
}

void CheckPlaceList(const PlaceListUpdate& update, const std::string& reply, const std::string& rest) {
    std::string firstLine = reply;
    REQUIRE(update.ScorePlace == ParseInteger(NextField(firstLine, RecordEnd)));
    REQUIRE(IsSuffixOf(rest, reply));
    const RowsUpdate& rows = update.Rows;
    REQUIRE(rows.FirstRow >= 0 && rows.FirstRow <= LastRowIndex);
    REQUIRE(rows.FirstRow + rows.Rows.size() <= HighscoreRowCount);
    REQUIRE(rows.Rows.size() <= 12);
    const std::int64_t place = update.ScorePlace;
    if (place >= -2 && place <= 9998) {
        const std::int64_t first = std::max<std::int64_t>(place - 9, 0);
        REQUIRE(rows.FirstRow == first);
        REQUIRE(static_cast<std::int64_t>(rows.Rows.size()) == place + 2 - first + 1);
    }
    for (const std::string& row : rows.Rows) REQUIRE(row.empty() || row.size() >= 34);
}

void CheckPlaceLayout(const std::vector<std::string>& highscoreRows, std::int32_t place) {
    for (const PlaceRowLine& line : LayOutPlaceRows(highscoreRows, place)) {
        REQUIRE(line.Row >= 0 && line.Row <= LastRowIndex);
        REQUIRE(!highscoreRows[line.Row].empty());
        REQUIRE(line.Y > 0 && line.Y < 240);
        // Entries from the one the player overtakes on move a place down.
        const bool pushedDown = place >= 1 && line.Row >= std::int64_t{place} - 1;
        REQUIRE(line.Rank == line.Row + 1 + (pushedDown ? 1 : 0));
    }
}

// A sentence for the status line: Windows-1252 the fonts draw, within the line's width.
void CheckShownSentence(const std::optional<std::string>& sentence) {
    if (!sentence) return;
    REQUIRE(!sentence->empty() && sentence->size() <= MaxRefusalCharacters);
    for (char c : *sentence) REQUIRE(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
}

void CheckApiAnswers(const std::string& reply) {
    const WallTime now{};
    if (const std::optional<Ticket> ticket = ParseTicketAnswer(reply, now)) {
        REQUIRE(!ticket->Text.empty() && ticket->Text.size() <= 512);
        REQUIRE(ticket->Expires > now);
    }
    ParseStoredAnswer(reply);
    CheckShownSentence(ParseRefusalText(reply));
    CheckShownSentence(ParseSeedRefusalText(reply));
    const EntryAnswer entry = ParseEntryAnswer(reply);
    REQUIRE(entry.Readable || !entry.Entry);
    ParseIsoTime(reply);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    // The table's state comes off the input's end, the reply is its front.
    const auto animAngle = provider.ConsumeIntegral<std::int32_t>();
    const auto editCursor = provider.ConsumeIntegral<std::int32_t>();
    const auto tableScroll = provider.ConsumeIntegral<std::int32_t>();
    const auto nameLength = provider.ConsumeIntegralInRange<std::size_t>(0, 40);
    const auto score = provider.ConsumeFloatingPoint<float>();
    const std::string reply = provider.ConsumeRemainingBytesAsString();

    CheckFieldCutting(reply);
    CheckApiAnswers(reply);

    std::string replyText = reply;
    const BestOfUpdate bestOf = ParseBestOf(replyText);
    CheckBestOf(bestOf, reply, replyText);
    replyText = reply;
    const PlaceListUpdate placeList = ParsePlaceList(replyText);
    CheckPlaceList(placeList, reply, replyText);

    // One table for all runs, emptied again at the end of each: a fresh 10001 rows per
    // run would cost more than everything else.
    static std::vector<std::string> highscoreRows = MakeHighscoreRows();
    ApplyRowsUpdate(highscoreRows, bestOf.Rows);
    ApplyRowsUpdate(highscoreRows, placeList.Rows);
    REQUIRE(highscoreRows.size() == HighscoreRowCount);
    CheckPlaceLayout(highscoreRows, placeList.ScorePlace);

    static zorblet::render::Canvas canvas;
    canvas.BeginDrawing();
    const std::string playerName = reply.substr(0, std::min(nameLength, reply.size()));
    TableInputs inputs{.HighscoreRows = highscoreRows,
                       .ScorePlace = placeList.ScorePlace,
                       .Score = score == 0 ? 1.0f : score,
                       .NameEntryActive = true,
                       .StatusTextEmpty = true,
                       .AnimAngle = animAngle,
                       .PlayerName = playerName,
                       .EditCursor = editCursor,
                       .GameDate = "07.05.07"};
    TableView view{.TableScroll = tableScroll, .DrawnScroll = tableScroll};
    UpdateHighscoreTable(view, inputs);
    REQUIRE(view.TableScroll == PlaceViewScroll(placeList.ScorePlace));
    inputs.TableScroll = view.TableScroll;
    DrawHighscoreTable(canvas, DotFonts(), inputs);

    view = TableView{.TableScroll = tableScroll, .DrawnScroll = tableScroll};
    inputs.NameEntryActive = false;
    UpdateHighscoreTable(view, inputs);
    constexpr std::int32_t MaxScroll = std::numeric_limits<std::int32_t>::max();
    const std::int32_t stepped = tableScroll > MaxScroll - 2 ? MaxScroll : tableScroll + 2;
    REQUIRE(view.DrawnScroll == stepped);
    REQUIRE(view.TableScroll == stepped || view.TableScroll == TableScrollRestart);
    inputs.TableScroll = view.DrawnScroll;
    DrawHighscoreTable(canvas, DotFonts(), inputs);

    for (const RowsUpdate* update : {&bestOf.Rows, &placeList.Rows}) {
        for (std::size_t k = 0; k < update->Rows.size(); ++k) highscoreRows[update->FirstRow + k].clear();
    }
    return 0;
}
