#pragma once

#include <ctime>
#include <string>

namespace zorblet::server {

// The local calendar date of `moment` as "dd.MM.yy", the date column of the list.
std::string FormatLocalDate(std::time_t moment);

}  // namespace zorblet::server
