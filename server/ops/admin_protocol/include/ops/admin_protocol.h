#pragma once
// What the admin socket's service and the zorblet-highscore-admin command agree on: the
// paths, and the checks both sides make of an operator's values.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace zorblet::server::admin {

// GET, with the query parameters places=A-B, name=PREFIX (UTF-8), since=YYYY-MM-DD,
// removed=1 and after=POINTS:ID. The reply's first line is "end", or "next POINTS:ID"
// when a further page follows (ask again with after=POINTS:ID); then one entry a line.
constexpr std::string_view EntriesPath = "/entries";
// POST with ids=ID,ID,... and, for a removal, reason=TEXT (UTF-8). 200 with notes on ids
// left as they were, one a line; 404 naming unknown ids, and nothing changed.
constexpr std::string_view RemovePath = "/remove";
constexpr std::string_view RestorePath = "/restore";
constexpr std::string_view LogPath = "/log";      // GET
constexpr std::string_view StatsPath = "/stats";  // GET
// POST takes a copy and answers "TOKEN SIZE"; GET BackupPath/TOKEN?offset=N answers up to
// BackupChunkBytes of it from byte N; DELETE BackupPath/TOKEN drops it.
constexpr std::string_view BackupPath = "/backup";
constexpr std::int64_t BackupChunkBytes = 4 << 20;

// Places from first to last, both counted from 1.
struct PlaceRange {
    std::int64_t first = 1;
    std::int64_t last = INT64_MAX;
};
// "A-B" with 1 <= A <= B.
std::optional<PlaceRange> ParsePlaceRange(std::string_view text);

// An entry id: a whole number from 1 on.
std::optional<std::int64_t> ParseEntryId(std::string_view text);
// A byte offset: a whole number from 0 on.
std::optional<std::int64_t> ParseByteOffset(std::string_view text);
// Ids separated by commas, at least one.
std::optional<std::vector<std::int64_t>> ParseEntryIds(std::string_view text);

}  // namespace zorblet::server::admin
