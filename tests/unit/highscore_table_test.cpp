// The highscore table over the menu: where the place view puts which row with which rank,
// and, drawn with a face of solid boxes, the scrolling best-of list, the fade, the player's
// row with its cursor and the prompt.

#include "highscore/highscore_table.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>

#include "highscore/best_of_reply.h"
#include "highscore/highscore_rows.h"
#include "highscore/place_list_reply.h"
#include "highscore/place_view_layout.h"
#include "support/fakes.h"
#include "support/highscore_fixture.h"

namespace zorblet::highscore {

void PrintTo(const PlaceRowLine& line, std::ostream* out) {
    *out << "{row " << line.Row << ", rank " << line.Rank << ", y " << line.Y << "}";
}

namespace {

using render::Canvas;
using render::Colour;
using render::RGB;

constexpr int Cell = 19 / 2 + 1;  // the box face's advance for the 14-point em

TEST(PlaceViewLayout, RowsAndRankLabelsAroundAnyPlace) {
    const std::vector<std::string> rows(HighscoreRowCount, "row");
    const struct {
        std::int32_t Place;
        std::vector<PlaceRowLine> Lines;
    } cases[] = {
        {0, {}},  // unknown: no list came
        {1, {{0, 2, 180}, {1, 3, 200}, {2, 4, 220}}},
        {3, {{0, 1, 120}, {1, 2, 140}, {2, 4, 180}, {3, 5, 200}, {4, 6, 220}}},
        {20,
         {{13, 14, 40},
          {14, 15, 60},
          {15, 16, 80},
          {16, 17, 100},
          {17, 18, 120},
          {18, 19, 140},
          {19, 21, 180},
          {20, 22, 200},
          {21, 23, 220}}},
        {9998,
         {{9991, 9992, 40},
          {9992, 9993, 60},
          {9993, 9994, 80},
          {9994, 9995, 100},
          {9995, 9996, 120},
          {9996, 9997, 140},
          {9997, 9999, 180},
          {9998, 10000, 200},
          {9999, 10001, 220}}},
        {10003, {{9996, 9997, 40}, {9997, 9998, 60}, {9998, 9999, 80}, {9999, 10000, 100}, {10000, 10001, 120}}},
        {10011, {}},
        {INT_MAX, {}},
        {-5, {}},
        {INT_MIN, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(LayOutPlaceRows(rows, c.Place), c.Lines) << "place " << c.Place;
}

TEST(PlaceViewLayout, EmptyRowsAndRowsPastTheTableAreLeftOut) {
    std::vector<std::string> rows(HighscoreRowCount, "row");
    rows[15].clear();
    const auto lines = LayOutPlaceRows(rows, 20);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[1], (PlaceRowLine{14, 15, 60}));
    EXPECT_EQ(lines[2], (PlaceRowLine{16, 17, 100}));

    const std::vector<std::string> shortTable(30, "row");
    EXPECT_EQ(LayOutPlaceRows(shortTable, 30).size(), 7u) << "rows 23..29; 30 and 31 lie past the end";
}

TEST(PlaceViewLayout, ScrollIsTwoHundredPerPlaceAndSaturates) {
    const struct {
        std::int32_t Place, Scroll;
    } cases[] = {
        {0, 600}, {1, 800}, {20, 4600}, {-5, -400}, {9998, 2000200}, {INT_MAX, INT_MAX}, {INT_MIN, INT_MIN},
    };
    for (const auto& c : cases) EXPECT_EQ(PlaceViewScroll(c.Place), c.Scroll) << c.Place;
}

TEST(FadeColour, BrightestInTheMiddleAndDimTowardsTheEdges) {
    EXPECT_EQ(FadeColour(20), RGB(40, 14, 66));
    EXPECT_EQ(FadeColour(220), RGB(40, 14, 66));
    EXPECT_EQ(FadeColour(120), render::TextColour);
    EXPECT_EQ(FadeColour(1), RGB(2, 1, 3));
}

using testing::ReadFixture;

class HighscoreTableTest : public ::testing::Test {
protected:
    HighscoreTableTest() : fonts(render::CreateFonts(loader)) {}

    void Draw() {
        canvas.ClearScreen(0, 0, 0);
        canvas.BeginDrawing();
        // As the frame does: the table moves, then it is drawn.
        TableInputs inputs{.HighscoreRows = rows,
                           .ScorePlace = scorePlace,
                           .Score = score,
                           .NameEntryActive = nameEntryActive,
                           .StatusTextEmpty = statusTextEmpty,
                           .AnimAngle = animAngle,
                           .PlayerName = playerName,
                           .EditCursor = editCursor,
                           .GameDate = gameDate};
        TableView view{.TableScroll = tableScroll};
        UpdateHighscoreTable(view, inputs);
        tableScroll = view.TableScroll;
        inputs.TableScroll = view.DrawnScroll;
        DrawHighscoreTable(canvas, fonts, inputs);
    }
    void LoadBestOf() {
        std::string reply = ReadFixture("bestof_60.txt");
        ApplyRowsUpdate(rows, ParseBestOf(reply).Rows);
    }
    void LoadPlaceList() {
        std::string reply = ReadFixture("liste_60_P19.txt");
        const PlaceListUpdate update = ParsePlaceList(reply);
        ApplyRowsUpdate(rows, update.Rows);
        scorePlace = update.ScorePlace;
        score = 700;
        nameEntryActive = true;
    }
    bool Inked(int x, int y) const { return canvas.PixelAt(x, y) != 0; }
    // Leftmost inked column in the box, or -1.
    int LeftmostInk(int left, int right, int top, int bottom) const {
        for (int x = left; x < right; ++x)
            for (int y = top; y < bottom; ++y)
                if (Inked(x, y)) return x;
        return -1;
    }
    int CountPixels(Colour colour, int top, int bottom) const {
        int count = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < Canvas::Width; ++x) count += canvas.PixelAt(x, y) == colour;
        return count;
    }
    // Which character cells of a text line starting at x = 30 hold ink.
    std::set<int> InkedCells(int y) const {
        std::set<int> cells;
        for (int cell = 0; 30 + cell * Cell < Canvas::Width; ++cell)
            if (Inked(30 + cell * Cell + 4, y + 9)) cells.insert(cell);
        return cells;
    }

    testing::BoxFontLoader loader;
    render::Fonts fonts;
    Canvas canvas;
    std::vector<std::string> rows = MakeHighscoreRows();
    std::int32_t scorePlace = 0;
    float score = 0;
    bool nameEntryActive = false;
    bool statusTextEmpty = true;
    std::int32_t animAngle = 0;
    std::string playerName;
    std::int32_t editCursor = 0;
    std::string gameDate = "07.05.07";
    std::int32_t tableScroll = 0;
};

TEST_F(HighscoreTableTest, OnlyTheHeadingWhileATransferRuns) {
    LoadBestOf();
    for (bool placeView : {false, true}) {
        if (placeView) LoadPlaceList();
        statusTextEmpty = false;
        tableScroll = 1234;
        Draw();
        EXPECT_EQ(tableScroll, 1234) << "the scroll stands";
        EXPECT_EQ(LeftmostInk(0, Canvas::Width, 30, 49), 30 + Cell) << "the heading starts with a space";
        EXPECT_GT(CountPixels(render::TextColour, 30, 49), 0);
        EXPECT_EQ(LeftmostInk(0, Canvas::Width, 49, Canvas::Height), -1) << "placeView " << placeView;
    }
}

TEST_F(HighscoreTableTest, BestOfScrollsTwoTenthsOfAPixelPerFrameFromTheBottom) {
    LoadBestOf();
    tableScroll = 10;
    Draw();
    EXPECT_EQ(tableScroll, 12);
    // Row 0, "     Zorblet hat 60 ...", enters at window y 239: screen 289.
    EXPECT_EQ(canvas.PixelAt(30 + 5 * Cell, 289), FadeColour(239));
    EXPECT_EQ(LeftmostInk(0, Canvas::Width, 50, 289), -1) << "nothing above it yet";
    for (int frame = 0; frame < 100; ++frame) Draw();
    EXPECT_EQ(tableScroll, 212);
}

TEST_F(HighscoreTableTest, ARowAtWindowYTwentyIsDrawnInTheFadedColour) {
    LoadBestOf();
    tableScroll = 2198;  // 2200 after this frame's step: row 0 at y 20, row 10 at y 220
    Draw();
    EXPECT_EQ(canvas.PixelAt(30 + 5 * Cell, 70), RGB(40, 14, 66));
    EXPECT_EQ(canvas.PixelAt(30 + 3 * Cell, 270), RGB(40, 14, 66));
    EXPECT_EQ(canvas.PixelAt(30 + 3 * Cell, 170), render::TextColour) << "row 5 in the middle";
}

TEST_F(HighscoreTableTest, BestOfRestartsWhenNoVisibleRowHasText) {
    const struct {
        bool Fetched;
        std::int32_t Before, After;
    } cases[] = {
        {false, 5000, 10}, {false, 10, 10},     {true, 13988, 13990},
        {true, 13998, 10}, {true, INT_MAX, 10}, {true, INT_MAX - 1, 10},
    };
    for (const auto& c : cases) {
        rows = MakeHighscoreRows();
        if (c.Fetched) LoadBestOf();
        tableScroll = c.Before;
        Draw();
        EXPECT_EQ(tableScroll, c.After) << c.Before;
        if (!c.Fetched) {
            EXPECT_EQ(LeftmostInk(0, Canvas::Width, 49, Canvas::Height), -1) << "heading only";
        }
    }
}

TEST_F(HighscoreTableTest, RowsCountedAsShownAreTheRowsDrawn) {
    // Separate text lines on screen: boxes 19 pixels tall, 20 apart.
    const auto countDrawnLines = [this] {
        int lines = 0;
        bool inLine = false;
        for (int y = 50; y < 50 + 240 + 19; ++y) {
            const bool inked = LeftmostInk(0, Canvas::Width, y, y + 1) >= 0;
            if (inked && !inLine) ++lines;
            inLine = inked;
        }
        return lines;
    };
    LoadBestOf();
    for (std::int32_t before : {10, 400, 2198, 2208, 6000, 11800, 13900, 13988}) {
        tableScroll = before;
        Draw();
        EXPECT_EQ(CountBestOfRowsShown(rows, tableScroll), countDrawnLines()) << "scroll " << tableScroll;
    }
    EXPECT_EQ(CountBestOfRowsShown(rows, 2200), 10) << "rows 0..10 at y 20..220, row 1 blank";
    EXPECT_EQ(CountBestOfRowsShown(rows, 14000), 0) << "past the last row";
    EXPECT_EQ(CountBestOfRowsShown(MakeHighscoreRows(), 2200), 0) << "nothing fetched";
}

TEST_F(HighscoreTableTest, AScoreOfZeroShowsTheBestOfListDuringTheNameEntry) {
    LoadBestOf();
    LoadPlaceList();
    score = 0;
    tableScroll = 10;
    Draw();
    EXPECT_EQ(tableScroll, 12);
    EXPECT_EQ(LeftmostInk(0, Canvas::Width, 310, 340), -1) << "no prompt";
}

TEST_F(HighscoreTableTest, PlaceViewDrawsTheRowsOfItsLayoutThePlayerAndThePrompt) {
    LoadPlaceList();
    playerName = "Ann";
    score = 1234;
    tableScroll = 10;
    Draw();
    EXPECT_EQ(tableScroll, 200 * 19 + 600);

    const auto lines = LayOutPlaceRows(rows, scorePlace);
    ASSERT_EQ(lines.size(), 9u);
    for (const PlaceRowLine& line : lines) {
        // Ranks below 100 leave the label's first two cells empty.
        EXPECT_EQ(LeftmostInk(0, Canvas::Width, line.Y + 50, line.Y + 51), 30 + 2 * Cell) << line.Row;
        EXPECT_GT(CountPixels(FadeColour(line.Y), line.Y + 50, line.Y + 51), 0) << line.Row;
    }
    // The player's row: "  19    1234  Ann" and the date after the name's 26 cells.
    std::set<int> player{2, 3, 8, 9, 10, 11, 14, 15, 16};
    for (int cell = 40; cell < 48; ++cell) player.insert(cell);
    EXPECT_EQ(InkedCells(210), player);
    EXPECT_EQ(canvas.PixelAt(30 + 2 * Cell, 215), RGB(230, 180, 130));
    // The prompt, centred at y 320: 42 cells.
    EXPECT_EQ(LeftmostInk(0, Canvas::Width, 320, 339), 300 - 42 * Cell / 2);
    EXPECT_EQ(canvas.PixelAt(300 - 42 * Cell / 2, 325), RGB(230, 180, 130));
}

TEST_F(HighscoreTableTest, WithoutAKnownPlaceThePlayersRowStandsAloneAndUnnumbered) {
    LoadBestOf();  // rows 0..2 hold the best-of table's first rows
    scorePlace = 0;  // the place list failed
    score = 1234;
    nameEntryActive = true;
    playerName = "Ann";
    Draw();
    EXPECT_EQ(LeftmostInk(0, Canvas::Width, 51, 209), -1) << "nothing above the player's row";
    EXPECT_EQ(LeftmostInk(0, Canvas::Width, 230, 290), -1) << "nothing below it";
    std::set<int> player{8, 9, 10, 11, 14, 15, 16};  // "1234", "Ann": no place in front
    for (int cell = 40; cell < 48; ++cell) player.insert(cell);
    EXPECT_EQ(InkedCells(210), player);
}

TEST_F(HighscoreTableTest, ThePlayersRowPulsesWithTheAnimationAngle) {
    LoadPlaceList();
    const struct {
        std::int32_t Angle;
        Colour Expected;
    } cases[] = {
        {0, RGB(230, 180, 130)},
        {10, RGB(234, 189, 121)},
        {90, RGB(255, 230, 80)},
        {270, RGB(205, 130, 180)},
    };
    for (const auto& c : cases) {
        animAngle = c.Angle;
        Draw();
        EXPECT_EQ(canvas.PixelAt(30 + 2 * Cell, 215), c.Expected) << c.Angle;
    }
}

TEST_F(HighscoreTableTest, TheCursorStandsAfterTheTypedCharactersAndBlinks) {
    LoadPlaceList();
    playerName = "    ";  // no ink of its own between the score and the date
    const struct {
        std::int32_t Angle;
        std::int32_t Cursor;
        int X;  // -1: hidden
    } cases[] = {
        {10, 0, 25 + 14 * Cell},
        {10, 2, 25 + 16 * Cell},
        {10, 4, 25 + 18 * Cell},
        {30, 0, 25 + 14 * Cell},
        {0, 0, -1},
        {40, 0, -1},
        {70, 3, -1},
    };
    for (const auto& c : cases) {
        animAngle = c.Angle;
        editCursor = c.Cursor;
        Draw();
        EXPECT_EQ(LeftmostInk(30 + 12 * Cell, 30 + 40 * Cell, 210, 229), c.X)
            << "angle " << c.Angle << " cursor " << c.Cursor;
    }
}

}  // namespace
}  // namespace zorblet::highscore
