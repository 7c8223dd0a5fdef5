// The three requests to the highscore service, and the date a game's entry carries.

#include <gtest/gtest.h>

#include <climits>
#include <ctime>
#include <regex>

#include "highscore/check_text.h"
#include "highscore/local_date.h"
#include "highscore/service_urls.h"

namespace zorblet::highscore {
namespace {

constexpr const char* Server = "http://scores.example/zorblet/";

TEST(ServiceUrls, BestOfAndListAroundPoints) {
    EXPECT_EQ(BestOfUrl(Server), "http://scores.example/zorblet/BestOffSQL.php");
    EXPECT_EQ(ListUrl(Server, 0), "http://scores.example/zorblet/ListeSQL.php?Punkte=0");
    EXPECT_EQ(ListUrl(Server, -20), "http://scores.example/zorblet/ListeSQL.php?Punkte=-20");
    EXPECT_EQ(ListUrl(Server, INT_MIN), "http://scores.example/zorblet/ListeSQL.php?Punkte=-2147483648");
}

TEST(ServiceUrls, SubmissionEncodesTheNameAndChecksItsRawFirstByte) {
    const struct {
        std::int32_t Points;
        const char* Name;
        const char* EncodedName;
        const char* Check;
    } cases[] = {
        // 1234 gives 12 2 25 54; "A" (65) gives 0 2 3 6.
        {1234, "A b&c#d%e+f\xFC", "A%20b%26c%23d%25e%2Bf%FC", "12225540236"},
        // 1000 gives 12 6 8 56; the raw byte of "\xC4" (196) gives 1 0 10 19, not that of '%'.
        {1000, "\xC4rger", "%C4rger", "126856101019"},
        // -7 gives -7 0 -7 -7, signed like the points; "M" (77) gives 12 0 15 18.
        {-7, "M-._~", "M-._~", "-70-7-71201518"},
    };
    for (const auto& c : cases) {
        const std::string check = BuildCheckText(c.Points, c.Name);
        EXPECT_EQ(check, c.Check) << c.Name;
        EXPECT_EQ(SubmitUrl(Server, c.Points, c.Name, check),
                  std::string(Server) + "HighScoreSQL.php?Punkte=" + std::to_string(c.Points) +
                      "&Name=" + c.EncodedName + "&Check=" + c.Check)
            << c.Name;
    }
}

std::string TodayByTheClock() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%d.%m.%y", &local);
    return text;
}

TEST(FormatDate, IsTodayAsDayMonthAndTwoDigitYear) {
    const std::string before = TodayByTheClock();
    const std::string date = FormatDate();
    const std::string after = TodayByTheClock();
    EXPECT_TRUE(std::regex_match(date, std::regex(R"(\d\d\.\d\d\.\d\d)"))) << date;
    EXPECT_TRUE(date == before || date == after) << date << " is not " << before;
}

TEST(FormatLocalDate, PadsDayAndMonthWithZeros) {
    std::tm local{};
    local.tm_year = 2007 - 1900;
    local.tm_mon = 4;
    local.tm_mday = 3;
    local.tm_hour = 12;
    local.tm_isdst = -1;
    EXPECT_EQ(FormatLocalDate(std::mktime(&local)), "03.05.07");
}

}  // namespace
}  // namespace zorblet::highscore
