// The figures both stores count the same way: entries stored in the last hour and day,
// walking back from the newest.

#include <gtest/gtest.h>

#include "store/list_moderation.h"

namespace zorblet::server {
namespace {

TEST(ListFigures, CountsTheLastHourAndDayAndStopsWellPastTheDay) {
    constexpr std::int64_t Now = 1'700'000'000;
    struct Case {
        std::int64_t age;  // seconds before Now
        bool walk_on;
        std::int64_t hour;
        std::int64_t day;
    };
    const Case cases[] = {
        {-30, true, 1, 1},             // a clock set back: stored "in the future"
        {0, true, 1, 1},
        {3599, true, 1, 1},
        {3600, true, 0, 1},            // the hour is over
        {86399, true, 0, 1},
        {86400, true, 0, 0},           // the day is over, the walk goes on
        {86400 + 3600, true, 0, 0},    // the last it looks at
        {86400 + 3601, false, 0, 0},
    };
    for (const Case& c : cases) {
        BoardFigures figures;
        EXPECT_EQ(CountRecentlyStored(figures, Now, Now - c.age), c.walk_on) << c.age;
        EXPECT_EQ(figures.stored_last_hour, c.hour) << c.age;
        EXPECT_EQ(figures.stored_last_day, c.day) << c.age;
    }
}

}  // namespace
}  // namespace zorblet::server
