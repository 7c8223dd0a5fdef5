#pragma once

#include <array>
#include <string_view>

#include "store/score_board.h"

namespace zorblet::server {

// A name's first MaxNameLength bytes in lower case (as LowerCp1252 folds them), padded
// with zero bytes, which no name holds: names that begin alike stand together, and every
// prefix a name can have is a range. Both stores rank names for the search by it.
using NameKey = std::array<char, MaxNameLength>;
NameKey FoldName(std::string_view name);

}  // namespace zorblet::server
