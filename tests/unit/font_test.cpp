// The five fonts as the platform's font layer really renders them.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/ttf_fonts.h"
#include "render/font.h"
#include "world/world.h"

namespace zorblet::render {
namespace {

struct FontCase {
    const char* Name;
    Font Fonts::*Member;
    int EmPixels;
};

const FontCase FontCases[] = {
    {"FontBold14", &Fonts::FontBold14, 19}, {"FontNormal14", &Fonts::FontNormal14, 19},
    {"FontBold22", &Fonts::FontBold22, 29}, {"FontBold8", &Fonts::FontBold8, 11},
    {"FontBold32", &Fonts::FontBold32, 43},
};

int InkPixels(const platform::GlyphBitmap& glyph) {
    return static_cast<int>(std::count_if(glyph.Coverage.begin(), glyph.Coverage.end(), [](auto c) { return c != 0; }));
}

class FontTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        loader = new platform::TtfFontLoader();
        fonts = new Fonts(CreateFonts(*loader));
    }
    static void TearDownTestSuite() {
        delete fonts;
        delete loader;
    }
    static platform::TtfFontLoader* loader;
    static Fonts* fonts;
};

platform::TtfFontLoader* FontTest::loader = nullptr;
Fonts* FontTest::fonts = nullptr;

TEST_F(FontTest, EveryCharacterHasTheSameAdvanceOfACourierCell) {
    for (const auto& c : FontCases) {
        Font& font = fonts->*c.Member;
        // Courier's cell is 0.6 em wide; hinting may round it by a pixel.
        const int advance = font.Advance('M');
        EXPECT_NEAR(advance, c.EmPixels * 0.6, 1.0) << c.Name;
        for (int ch = 0x20; ch <= 0xFF; ++ch) {
            if (ch >= 0x7F && ch <= 0xA0) continue;
            EXPECT_EQ(font.Advance(static_cast<std::uint8_t>(ch)), advance) << c.Name << " character " << ch;
        }
        EXPECT_EQ(font.TextWidth("Punkte: -10"), 11 * advance) << c.Name;
    }
}

// The world keeps pop-ups between the walls by their width without asking a font (a
// replay on the highscore service has none): the pop-up font's digits must be as wide.
TEST_F(FontTest, PopupDigitsAreAsWideAsTheWorldTakesThem) {
    for (char digit = '0'; digit <= '9'; ++digit) {
        EXPECT_EQ(fonts->FontBold14.Advance(static_cast<std::uint8_t>(digit)), world::PopupDigitAdvance) << digit;
    }
    for (const std::string text : {"250", "300", "1000"}) {
        EXPECT_EQ(fonts->FontBold14.TextWidth(text) / 2, world::PopupHalfWidth(text)) << text;
    }
}

TEST_F(FontTest, CellHeightFollowsTheEmHeight) {
    for (const auto& c : FontCases) {
        // Courier-metric faces are about 1.13 em from ascent to descent.
        EXPECT_NEAR((fonts->*c.Member).CellHeight(), c.EmPixels * 1.13, 2.0) << c.Name;
    }
}

TEST_F(FontTest, BoldFontsAreBolderThanTheNormalOne) {
    EXPECT_GT(InkPixels(fonts->FontBold14.Glyph('H')), InkPixels(fonts->FontNormal14.Glyph('H')) * 5 / 4);
}

TEST_F(FontTest, UmlautsAreWindows1252Characters) {
    // 0xFC is u with diaeresis: the u's ink plus two dots above it.
    const auto& u = fonts->FontBold14.Glyph('u');
    const auto& uUmlaut = fonts->FontBold14.Glyph(0xFC);
    EXPECT_GT(InkPixels(uUmlaut), InkPixels(u));
    EXPECT_LT(uUmlaut.Top, u.Top);
    const auto& sharpS = fonts->FontBold14.Glyph(0xDF);
    EXPECT_GT(InkPixels(sharpS), 0);
    EXPECT_EQ(InkPixels(fonts->FontBold14.Glyph(' ')), 0);
}

TEST_F(FontTest, GlyphsSitInsideTheirCell) {
    for (const auto& c : FontCases) {
        Font& font = fonts->*c.Member;
        for (int ch : {int{'A'}, int{'g'}, int{'j'}, int{'|'}, int{'_'}, 0xC4, 0xDC}) {
            const auto& glyph = font.Glyph(static_cast<std::uint8_t>(ch));
            EXPECT_GE(glyph.Top, 0) << c.Name << " " << int(ch);
            EXPECT_LE(glyph.Top + glyph.Height, font.CellHeight()) << c.Name << " " << int(ch);
            EXPECT_GE(glyph.Left, -1) << c.Name << " " << int(ch);
            EXPECT_LE(glyph.Left + glyph.Width, glyph.Advance + 1) << c.Name << " " << int(ch);
        }
    }
}

}  // namespace
}  // namespace zorblet::render
