#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorblet::server::redis {

// The keys of one list. Entries are ranked in a sorted set whose members all have the
// score 0 and so sort by their bytes: ListedMember, which begins with RankMember(points,
// id), fixed width, so that more points come first and among equal points the smaller id,
// however many entries there are (a double score would run out of exact digits). The ids
// are unique, so the entry's record after it never decides the order; it is there so that
// the rows of a place or of the best-of reply come with native commands in one round trip,
// without a script or a second look-up. A second such set ranks the folded names for the
// search; the entries themselves are a hash by id, listed or not.
struct Keys {
    std::string next_id = "zorblet:next-id";    // the last id given out
    std::string ranks = "zorblet:ranks";        // listed entries: ListedMember
    std::string names = "zorblet:names";        // listed entries: folded name + RankMember
    std::string entries = "zorblet:entries";    // id -> EncodeEntry, listed or not
    std::string removed = "zorblet:removed";    // id -> Unix time of the removal
    std::string log = "zorblet:moderation-log"; // EncodeLogLine, oldest first
    std::string version = "zorblet:version";    // moves on with every change
    std::string Allowance(std::string_view address) const;
    std::string Recent(std::string_view address, std::string_view name, std::int32_t points) const;
};

// Twenty characters: 8 hex digits of INT32_MAX - points, 12 of the id.
std::string RankMember(std::int32_t points, std::int64_t id);
struct MemberKey {
    std::int32_t points = 0;
    std::int64_t id = 0;
};
std::optional<MemberKey> ParseRankMember(std::string_view member);
constexpr std::size_t RankMemberLength = 20;
// A name's member in the names set: the folded name padded to its full length, then
// RankMember.
std::string NameMember(std::string_view name, std::int32_t points, std::int64_t id);

// An entry as the hash holds it: "POINTS STORED_AT DATE_LENGTH DATE" then the name's
// bytes, so that no byte of a name or date can break it apart.
struct StoredEntry {
    std::int32_t points = 0;
    std::int64_t stored_at = 0;
    std::string date;
    std::string name;

    bool operator==(const StoredEntry&) const = default;
};
std::string EncodeEntry(const StoredEntry& entry);
std::optional<StoredEntry> DecodeEntry(std::string_view text);

// A member of the ranks set: RankMember(entry.points, id) followed by EncodeEntry(entry).
std::string ListedMember(std::int64_t id, const StoredEntry& entry);
struct ListedEntry {
    MemberKey key;
    StoredEntry entry;
};
// Nullopt unless both parts can be read and agree on the points.
std::optional<ListedEntry> ParseListedMember(std::string_view member);

// A line of the moderation log: "AT\tACTION\tIDS\tREASON" (the reason is one line).
std::string EncodeLogLine(std::int64_t at, std::string_view action, std::string_view ids, std::string_view reason);

// The functions every script begins with, among them the allowance that the guard of a
// service alone on its list keeps too: a test runs them on times of its own.
std::string_view ScriptFunctions();

// The scripts, by their index in Scripts().
enum Script : std::size_t { SubmitScript, AllowanceScript, ReadScript, ModerateScript };
std::vector<std::string> Scripts();

}  // namespace zorblet::server::redis
