#include "highscore/url_encoding.h"

#include <gtest/gtest.h>

namespace zorblet::highscore {
namespace {

TEST(PercentEncode, KeepsOnlyUnreservedCharactersAndRoundTripsEveryByte) {
    std::string all_bytes;
    for (int byte = 0; byte < 256; ++byte) all_bytes += static_cast<char>(byte);
    const std::string encoded = PercentEncode(all_bytes);
    for (char c : encoded) {
        EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || c == '%' || c == '-' || c == '.' || c == '_' ||
                    c == '~')
            << c;
    }
    EXPECT_EQ(PercentDecode(encoded), all_bytes);
    EXPECT_EQ(PercentEncode("M\xFCller & Co+"), "M%FCller%20%26%20Co%2B");
}

TEST(PercentDecode, DecodesEscapesAndPlusAndRefusesMalformedEscapes) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases{
        {"a+b%20c", "a b c"},
        {"%2B%2b", "++"},
        {"%00", std::string(1, '\0')},
        {"M%FCller", "M\xFCller"},
        {"", ""},
        {"%", std::nullopt},
        {"abc%4", std::nullopt},
        {"%zz", std::nullopt},
        {"%u00e4", std::nullopt},
        {"%%41", std::nullopt},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(PercentDecode(text), expected) << text;
}

}  // namespace
}  // namespace zorblet::highscore
