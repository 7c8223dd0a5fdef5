#include "highscore/check_text.h"

#include <gtest/gtest.h>

namespace zorblet::highscore {
namespace {

struct CheckCase {
    std::int32_t points;
    std::string name;
    std::string expected;
};

TEST(BuildCheckText, JoinsTheRemaindersOfPointsAndInitial) {
    const std::vector<CheckCase> cases{
        {1000, "Max", "1268561201518"},            // M is 77
        {-7, "Anna", "-70-7-70236"},               // remainders keep the dividend's sign
        {0, "\xC4rger", "0000101019"},             // Ä is 196 in Windows-1252
        {-2147483648, "\xFF", "-11-2-2-5583719"},  // ÿ is 255, not a negative char
        {2147483647, " ", "10115464132"},
    };
    for (const CheckCase& c : cases) {
        EXPECT_EQ(BuildCheckText(c.points, c.name), c.expected) << c.points << " " << c.name;
    }
}

TEST(BuildCheckText, UsesOnlyTheFirstCharacterOfTheName) {
    EXPECT_EQ(BuildCheckText(1000, "M"), BuildCheckText(1000, "M\xFC\x6Cler 123"));
}

}  // namespace
}  // namespace zorblet::highscore
