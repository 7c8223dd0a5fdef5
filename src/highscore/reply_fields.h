#pragma once
// Cutting a highscore reply into fields: records end with CR LF, fields end with TAB.

#include <cstdint>
#include <string>
#include <string_view>

namespace zorblet::highscore {

inline constexpr std::string_view FieldEnd = "\t";
inline constexpr std::string_view RecordEnd = "\r\n";

// Cuts the text before the first `separator` off the front of replyText, the separator
// with it; the whole rest is searched, across line ends. Without a separator the result
// is empty and replyText stays as it was, so a field exists only if its separator follows.
std::string NextField(std::string& replyText, std::string_view separator);

// One record: points TAB name TAB date CR LF, cut as NextField cuts. It exists when the
// reply held any of it: the service sends a record of empty fields for a rank that has
// no entry, and a reply that ran out has none left.
struct ReplyRecord {
    std::string Points;
    std::string Name;
    std::string Date;
    bool Exists = false;
};
ReplyRecord NextRecord(std::string& replyText);

// The value of an optional minus and the decimal digits that follow it; reading stops
// at the first other character, so "12abc" gives 12 and an empty or malformed field
// ("", "-", "abc", " 7", "+7") gives 0. Values past the 32-bit range saturate.
std::int32_t ParseInteger(std::string_view field);

}  // namespace zorblet::highscore
