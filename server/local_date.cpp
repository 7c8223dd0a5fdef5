#include "local_date.h"

#include <array>

namespace zorblet::server {

std::string FormatLocalDate(std::time_t moment) {
    std::tm local{};
    localtime_r(&moment, &local);
    std::array<char, 16> text{};
    const std::size_t length = std::strftime(text.data(), text.size(), "%d.%m.%y", &local);
    return std::string(text.data(), length);
}

}  // namespace zorblet::server
