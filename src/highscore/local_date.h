#pragma once

#include <ctime>
#include <string>

namespace zorblet::highscore {

// The local time of `moment` written by a strftime picture (at most 63 characters long).
std::string FormatLocalTime(std::time_t moment, const char* picture);

// The local calendar date of `moment` as "dd.MM.yy", the date column of the list.
inline std::string FormatLocalDate(std::time_t moment) {
    return FormatLocalTime(moment, "%d.%m.%y");
}

// Today's local date as "dd.MM.yy": the game's GameDate and the server's entry date.
inline std::string FormatDate() {
    return FormatLocalDate(std::time(nullptr));
}

}  // namespace zorblet::highscore
