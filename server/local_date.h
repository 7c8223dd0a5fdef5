#pragma once

#include <ctime>
#include <string>

namespace zorblet::server {

// The local time of `moment` written by a strftime picture (at most 63 characters long).
std::string FormatLocalTime(std::time_t moment, const char* picture);

// The local calendar date of `moment` as "dd.MM.yy", the date column of the list.
inline std::string FormatLocalDate(std::time_t moment) { return FormatLocalTime(moment, "%d.%m.%y"); }

}  // namespace zorblet::server
