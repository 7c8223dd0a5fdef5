#pragma once
// Windows-1252, the game's text inside, and UTF-8, the text of files, pages and terminals.
// The game, the highscore service and its tools all convert at their edges with these.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zorblet::platform {

// The Unicode code point of a Windows-1252 byte; U+FFFD for the five bytes it leaves undefined.
char32_t UnicodeOfCp1252(std::uint8_t byte);

// The Windows-1252 byte of a code point, or nothing when the code page has none for it.
std::optional<std::uint8_t> Cp1252OfUnicode(char32_t codePoint);

// Windows-1252 bytes as UTF-8; the five undefined bytes become U+FFFD.
std::string Cp1252ToUtf8(std::string_view text);

// UTF-8 as Windows-1252 bytes; nothing when the text is not well-formed UTF-8 (overlong
// forms, surrogates and truncated sequences included) or holds a character the code page
// lacks.
std::optional<std::string> Utf8ToCp1252(std::string_view text);

// How many characters well-formed UTF-8 holds; nothing when it is not well formed (as
// Utf8ToCp1252 judges it).
std::optional<std::size_t> CountUtf8Characters(std::string_view text);

// The lower-case form of a Windows-1252 letter (A-Z, the accented capitals, Š, Œ, Ž, Ÿ);
// every other byte as it is. Case only: ä and Ä are one letter, a and ä are not.
char LowerCp1252(char byte);

// Whether text begins with / contains needle, ignoring case as LowerCp1252 does.
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);
bool ContainsIgnoringCase(std::string_view text, std::string_view needle);

}  // namespace zorblet::platform
