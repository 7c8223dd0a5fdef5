#include "highscore/check_text.h"

#include <array>

namespace zorblet::highscore {

namespace {

constexpr std::array<std::int32_t, 4> CheckDivisors{13, 7, 31, 59};

void AppendRemainders(std::string& text, std::int32_t value) {
    for (std::int32_t divisor : CheckDivisors) {
        text += std::to_string(value % divisor);  // C++ '%' truncates toward zero
    }
}

}  // namespace

std::string BuildCheckText(std::int32_t points, std::string_view name) {
    const std::int32_t initial = name.empty() ? 0 : static_cast<unsigned char>(name.front());
    std::string text;
    AppendRemainders(text, points);
    AppendRemainders(text, initial);
    return text;
}

}  // namespace zorblet::highscore
