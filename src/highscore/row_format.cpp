#include "highscore/row_format.h"

#include "shared/game_math.h"

namespace zorblet::highscore {

namespace {

constexpr std::string_view ColumnGap = "  ";

}  // namespace

std::string PadLeft(std::string_view text, std::size_t width) {
    std::string padded(width > text.size() ? width - text.size() : 0, ' ');
    padded += text;
    return padded;
}

std::string PadRight(std::string_view text, std::size_t width) {
    std::string padded(text);
    if (width > text.size()) padded.append(width - text.size(), ' ');
    return padded;
}

std::string FormatBestOfRow(std::int64_t rank, std::string_view points, std::string_view name, std::string_view date) {
    return PadLeft(DecimalText(rank), 4) + std::string(ColumnGap) + FormatPlaceRow(points, name, date);
}

std::string FormatPlaceRow(std::string_view points, std::string_view name, std::string_view date) {
    std::string row = PadLeft(points, 6);
    row += ColumnGap;
    row += PadRight(name, 24);
    row += ColumnGap;
    row += date;
    return row;
}

}  // namespace zorblet::highscore
