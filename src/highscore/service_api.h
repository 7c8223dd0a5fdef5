#pragma once
// The game's side of the service's JSON API (api/v1): a ticket for each game, the
// submission of a played game's record, and an entry of the list with its kept record for
// watching. The answers are read with a JSON library and refused whole when they are
// malformed, oversized or lack a field: the game then does what it did before the API.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zorblet::highscore {

using WallTime = std::chrono::system_clock::time_point;

// No answer of the API that the game reads in the frame's time is longer; the list's
// entry and a refusal are short too.
inline constexpr std::size_t MaxTicketAnswerBytes = 4096;
inline constexpr std::size_t MaxSubmissionAnswerBytes = 4096;
inline constexpr std::size_t MaxEntryAnswerBytes = 64 * 1024;

// Rules version 1 seeds its random numbers with 32 bits.
inline constexpr std::uint64_t TicketSeedLimit = std::uint64_t{1} << 32;

// The service's word that a game may be played for the verified list: an opaque text the
// record carries (at most record::MaxTicketBytes bytes), the seed to play on, and when the
// service stops taking a record of it.
struct Ticket {
    std::string Text;
    std::uint32_t Seed = 0;
    WallTime Expires;

    bool operator==(const Ticket&) const = default;
};

// {"ticket": "...", "seed": N, "expires": "ISO time"}, or nothing: a body that is no such
// object, is longer than MaxTicketAnswerBytes, has an empty or too long ticket, a seed that
// is no whole number below TicketSeedLimit, or an expiry that is no time or not after now.
std::optional<Ticket> ParseTicketAnswer(std::string_view body, WallTime now);

// An RFC 3339 time, "2026-12-12T20:15:03Z", with a fraction of a second or an offset
// ("+01:00") if given; nothing for anything else, a day that does not exist included.
std::optional<WallTime> ParseIsoTime(std::string_view text);

// The service's answer to a stored record: {"id": ..., "place": ..., "points": ...,
// "verified": ...}.
struct StoredRecord {
    std::int64_t Id = 0;
    std::int64_t Place = 0;
    std::int32_t Points = 0;
    bool Verified = false;
};
std::optional<StoredRecord> ParseStoredAnswer(std::string_view body);

// The German sentence of a refusal, {"error": "...", "text": "..."}, in Windows-1252 as the
// game's fonts draw it; nothing when there is none, or it has a character the fonts lack
// (one outside Windows-1252, a control character). One too long for the status line (its
// font is 11 pixels a character: 54 fill 594 of the 600) is cut at a word, with "…".
inline constexpr std::size_t MaxRefusalCharacters = 54;
std::optional<std::string> ParseRefusalText(std::string_view body);
// The same for a UTF-8 sentence itself.
std::optional<std::string> ShownSentence(std::string_view utf8);

// The reason of a refusal of the seed's request (HighScoreSQL.php answers 403 when the
// list takes verified games only): such a JSON object, or the first line of a plain text
// in UTF-8 (or, when it is no UTF-8, in Windows-1252), shown as above.
std::optional<std::string> ParseSeedRefusalText(std::string_view body);

// An entry of the list as api/v1/scores gives it, with what watching it needs.
struct ListedEntry {
    std::int64_t Place = 0;
    std::int32_t Points = 0;
    std::string Name;  // UTF-8, as the API gives it
    bool Verified = false;
    std::optional<std::int64_t> Id;  // none from a service that gives no ids
    bool HasVerifiedField = false;   // false from a service older than verified entries
};

// The first entry of {"total": T, "entries": [...]}.
struct EntryAnswer {
    bool Readable = false;  // the body is such an object
    std::optional<ListedEntry> Entry;  // none when the list has no entry there
};
EntryAnswer ParseEntryAnswer(std::string_view body);

// The requests, under the service's base address (ending in "/").
std::string TicketUrl(std::string_view server);
// nameCp1252 is sent as UTF-8, percent-encoded.
std::string RecordSubmitUrl(std::string_view server, std::string_view nameCp1252);
std::string EntryUrl(std::string_view server, std::int64_t place);
std::string KeptRecordUrl(std::string_view server, std::int64_t id);

}  // namespace zorblet::highscore
