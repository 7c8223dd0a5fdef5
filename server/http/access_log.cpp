#include "http/access_log.h"

#include <unistd.h>

#include <array>
#include <cstdio>

#include "highscore/local_date.h"

namespace zorblet::server {

namespace {

void AppendEscaped(std::string& line, std::string_view text) {
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F || c == '"' || c == '\\') {
            std::array<char, 5> escaped{};
            std::snprintf(escaped.data(), escaped.size(), "\\x%02X", byte);
            line += escaped.data();
        } else {
            line += c;
        }
    }
}

}  // namespace

std::string FormatAccessLine(const AccessRecord& record, std::time_t moment) {
    std::string line;
    line.reserve(128 + record.target.size());
    AppendEscaped(line, record.address.empty() ? "-" : record.address);
    line += " - - [";
    line += highscore::FormatLocalTime(moment, "%d/%b/%Y:%H:%M:%S %z");
    line += "] \"";
    AppendEscaped(line, record.method);
    line += ' ';
    AppendEscaped(line, record.target);
    line += ' ';
    AppendEscaped(line, record.version);
    line += "\" ";
    line += std::to_string(record.status);
    line += ' ';
    line += std::to_string(record.body_bytes);
    line += '\n';
    return line;
}

void WriteLogLine(std::string_view line) {
    // A full disk or a closed stderr must not stop the service; the line is dropped.
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line.data(), line.size());
}

}  // namespace zorblet::server
