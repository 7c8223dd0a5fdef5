#pragma once
// The files the page loads from this service, built into the program, each with a
// version (the start of its SHA-256) that its links carry, so a change reaches every
// visitor at once while an unchanged file is cached for long.

#include <string_view>

namespace zorblet::server {

extern const std::string_view StylesheetText;
extern const std::string_view StylesheetVersion;
extern const std::string_view IconText;  // the game's icon, SVG
extern const std::string_view IconVersion;

}  // namespace zorblet::server
