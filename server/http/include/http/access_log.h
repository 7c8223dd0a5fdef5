#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace zorblet::server {

struct AccessRecord {
    std::string_view address;
    std::string_view method;
    std::string_view target;
    std::string_view version;
    int status = 0;
    std::size_t body_bytes = 0;
};

// One line in the Common Log Format. Bytes of the request that are not printable ASCII,
// and quotes and backslashes, appear as \xNN, so a request cannot forge or garble lines.
std::string FormatAccessLine(const AccessRecord& record, std::time_t moment);

// Writes a whole line with one system call, so lines of concurrent requests never mix.
void WriteLogLine(std::string_view line);

}  // namespace zorblet::server
