#include "highscore/local_date.h"

#include <array>

namespace zorblet::highscore {

std::string FormatLocalTime(std::time_t moment, const char* picture) {
    std::tm local{};
    localtime_r(&moment, &local);
    std::array<char, 64> text{};
    const std::size_t length = std::strftime(text.data(), text.size(), picture, &local);
    return std::string(text.data(), length);
}

}  // namespace zorblet::highscore
