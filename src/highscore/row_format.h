#pragma once
// The ready-to-draw text rows of the highscore table. The table font is monospaced, so
// columns are runs of spaces, two between columns, and nothing is ever cut.

#include <cstdint>
#include <string>
#include <string_view>

namespace zorblet::highscore {

// Spaces in front of the text up to `width` characters; a longer text stays whole.
std::string PadLeft(std::string_view text, std::size_t width);
// Spaces after the text up to `width` characters; a longer text stays whole.
std::string PadRight(std::string_view text, std::size_t width);

// Rank (4) + points (6) + name (24) + date: the columns of the table heading.
std::string FormatBestOfRow(std::int64_t rank, std::string_view points, std::string_view name, std::string_view date);
// Points (6) + name (24) + date; the table puts the rank in front when it draws.
std::string FormatPlaceRow(std::string_view points, std::string_view name, std::string_view date);

}  // namespace zorblet::highscore
