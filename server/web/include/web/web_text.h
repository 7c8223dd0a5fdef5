#pragma once
// Text for pages and JSON replies: everything that came from players is escaped here.

#include <string>
#include <string_view>

namespace zorblet::server {

// A stored name (Windows-1252) as UTF-8; control characters, which only a row edited by
// hand holds, become '?'.
std::string NameToUtf8(std::string_view name);

// A stored date as a German reader expects it, "dd.MM.20yy"; any other text as UTF-8.
std::string GermanDateOf(std::string_view stored);

// UTF-8 text in HTML, in an element or in a quoted attribute value.
void AppendHtmlText(std::string& out, std::string_view text);

// UTF-8 text as a JSON string, quotes included.
void AppendJsonString(std::string& out, std::string_view text);

// A query as it may stand in a link or a Location header: bytes a URI may hold as they
// are (escapes already in it included), every other byte percent-encoded.
std::string EncodeQueryForUri(std::string_view query);

}  // namespace zorblet::server
