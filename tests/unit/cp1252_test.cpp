// Windows-1252 and UTF-8 at the program's edges: every byte there and back, what UTF-8
// cannot come in, and case folding that knows umlauts.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/cp1252.h"

namespace zorblet::platform {
namespace {

TEST(Cp1252Test, EveryDefinedByteSurvivesTheRoundTripThroughUtf8) {
    for (int code = 1; code < 256; ++code) {
        const std::string byte(1, static_cast<char>(code));
        const std::string utf8 = Cp1252ToUtf8(byte);
        if (UnicodeOfCp1252(static_cast<std::uint8_t>(code)) == 0xFFFD) {
            EXPECT_EQ(utf8, "\xEF\xBF\xBD") << code;
            EXPECT_EQ(Utf8ToCp1252(utf8), std::nullopt) << code;
        } else {
            EXPECT_EQ(Utf8ToCp1252(utf8), byte) << code;
        }
    }
}

TEST(Cp1252Test, ConvertsKnownTexts) {
    EXPECT_EQ(Cp1252ToUtf8("J\xF6rg \x80 \x84\x93 \x96 \x8C \x99"), "Jörg € „“ – Œ ™");
    EXPECT_EQ(Utf8ToCp1252("Jörg € „“ – Œ ™"), "J\xF6rg \x80 \x84\x93 \x96 \x8C \x99");
    EXPECT_EQ(Utf8ToCp1252(""), "");
}

TEST(Cp1252Test, RefusesUtf8ThatIsMalformedOrOutsideTheCodePage) {
    const char* const refused[] = {
        "\xC3",              // cut short
        "\xC3\x28",          // continuation missing
        "\xC0\xAF",          // overlong '/'
        "\xE0\x80\xAF",      // overlong, three bytes
        "\xED\xA0\x80",      // a surrogate
        "\xF4\x90\x80\x80",  // past U+10FFFF
        "\xFF",              // never a lead byte
        "\xE2\x82",          // the euro sign cut short
        "\xE4\xB8\xAD",      // 中: no byte for it
        "\xF0\x9F\x98\x80",  // an emoji
    };
    for (const char* text : refused) EXPECT_EQ(Utf8ToCp1252(text), std::nullopt) << text;
    // Malformed text has no count of characters; well-formed text outside the code page has.
    for (std::size_t i = 0; i < std::size(refused) - 2; ++i) {
        EXPECT_EQ(CountUtf8Characters(refused[i]), std::nullopt) << refused[i];
    }
    EXPECT_EQ(CountUtf8Characters("a\xE4\xB8\xAD\xF0\x9F\x98\x80"), 3u);
    EXPECT_EQ(CountUtf8Characters("J\xC3\xB6rg \xE2\x82\xAC"), 6u);  // Jörg €
    EXPECT_EQ(CountUtf8Characters(""), 0u);
}

TEST(Cp1252Test, FoldsCaseOfLettersOnly) {
    struct Case {
        const char* text;
        const char* prefix;
        bool starts;
    };
    const Case cases[] = {
        {"J\xF6rg", "j\xD6", true},     // jÖ
        {"\xC4rger", "\xE4r", true},    // Ä and ä
        {"\xC4rger", "ar", false},      // ä is not a
        {"Stra\xDF" "e", "STRA\xDF", true},  // ß has no capital in the code page: itself
        {"\x8A" "ar", "\x9A" "A", true}, // Š and š
        {"\x9F", "\xFF", true},         // Ÿ and ÿ
        {"\xD7", "\xF7", false},        // × and ÷ are no letters
        {"Anna", "", true},
        {"An", "Anna", false},
    };
    for (const Case& c : cases) EXPECT_EQ(StartsWithIgnoringCase(c.text, c.prefix), c.starts) << c.text << " " << c.prefix;
    EXPECT_TRUE(ContainsIgnoringCase("DerB\xD6SEWOLF", "b\xF6se"));
    EXPECT_FALSE(ContainsIgnoringCase("Bose", "b\xF6se"));
}

}  // namespace
}  // namespace zorblet::platform
