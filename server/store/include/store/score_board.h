#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zorblet::server {

// Longest name kept, in Windows-1252 characters (one byte each).
constexpr std::size_t MaxNameLength = 24;

// One accepted score as the replies show it.
struct ScoreEntry {
    std::int32_t points = 0;
    std::string name;  // Windows-1252 bytes, at most MaxNameLength
    std::string date;  // "dd.MM.yy", the server's local date when the score was stored
    // The service replayed the game's record and the replay gave these points.
    bool verified = false;

    bool operator==(const ScoreEntry&) const = default;
};

// An entry as a view shows it; the texts are valid only while the visit lasts.
struct RankedEntry {
    std::int64_t id = 0;  // storage order
    std::int32_t points = 0;
    std::string_view name;    // Windows-1252 bytes
    std::string_view date;    // as in ScoreEntry
    std::int64_t stored_at = 0;  // Unix time; 0 when unknown
    bool verified = false;
};

// A storage fault (disk full, I/O error, unreadable database). The HTTP front answers 503.
class StorageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How many of the entries stored last a view shows.
constexpr std::size_t NewestEntriesKept = 10;

// The ranks the game's most frequent read, the best-of table, shows: the first 50 and the
// last 5. A store may fetch them ahead of being asked.
constexpr std::int64_t BestOfTopRanks = 50;
constexpr std::int64_t BestOfBottomRanks = 5;

// A consistent, read-only view of the ranked list of listed (not removed) entries. More
// points rank higher; among equal points the earlier entry ranks higher. Ranks count from 1.
class RankedView {
public:
    using EntryVisitor = std::function<void(const RankedEntry&)>;

    virtual ~RankedView() = default;
    virtual std::int64_t CountEntries() const = 0;
    // The place a new score of `points` would take: 1 + the entries with at least as many.
    virtual std::int64_t FindPlace(std::int32_t points) const = 0;
    // Visits the existing entries ranked first..last, in rank order.
    virtual void VisitRanks(std::int64_t first, std::int64_t last, const EntryVisitor& visit) const = 0;
    // Visits the entries in rank order from place `first` on while `visit` returns true.
    using PlaceVisitor = std::function<bool(std::int64_t place, const RankedEntry&)>;
    virtual void VisitFrom(std::int64_t first, const PlaceVisitor& visit) const = 0;
    // The places new scores of these points would take, in one read of the store.
    virtual std::vector<std::int64_t> FindPlaces(std::span<const std::int32_t> points) const {
        std::vector<std::int64_t> places;
        for (std::int32_t each : points) places.push_back(FindPlace(each));
        return places;
    }
    // The place of the entry with these points and id, listed or not: 1 + the listed
    // entries that rank before it.
    virtual std::int64_t PlaceOf(std::int32_t points, std::int64_t id) const = 0;
    // Moves on whenever an entry is stored, removed or restored, and is not one an earlier
    // run of the service gave out: what caches of pages and replies are checked against.
    virtual std::uint64_t Version() const = 0;
    // Visits the listed entries stored last, newest first, at most NewestEntriesKept, each
    // with its place, while `visit` returns true.
    virtual void VisitNewest(const PlaceVisitor& visit) const = 0;
    // The listed entries whose names begin with `prefix` (Windows-1252), ignoring case as
    // LowerCp1252 does: visits the first `limit` of them in place order and returns how
    // many there are in all. No name is longer than 24 characters, so a longer prefix
    // matches nothing.
    virtual std::int64_t VisitNamesStartingWith(std::string_view prefix, std::size_t limit,
                                                const PlaceVisitor& visit) const = 0;
};

// Which entries a view ranks: every listed one, or the verified ones alone, ranked among
// themselves as a list of their own.
enum class Listing { All, Verified };

// A random start for a list's version (see RankedView::Version) where none is known yet:
// for a list read at start, or one a store meets empty. No earlier run gave it out, so a
// page cached before is never taken for the list as it is now. Below 2^48, so that it
// stays exact in every store's numbers (Redis's scripts count in doubles).
std::uint64_t ChooseVersionSeed();

// Where accepted scores live. The SQLite board serves one machine; a shared database
// backend for several front ends implements the same two operations.
struct VerifiedGame;
struct StoredGame;
struct UsedTicket;

class ScoreBoard {
public:
    using ViewReader = std::function<void(const RankedView&)>;

    virtual ~ScoreBoard() = default;
    // Runs `read` on a view of `listing` that no concurrent change alters halfway.
    virtual void ReadRanking(Listing listing, const ViewReader& read) const = 0;
    void ReadRanking(const ViewReader& read) const { ReadRanking(Listing::All, read); }
    // Returns the new entry's id once it is stored durably; throws StorageError and
    // stores nothing when it cannot.
    virtual std::int64_t AddEntry(const ScoreEntry& entry) = 0;
    // Stores a verified game, its record and its ticket, as one step: unless the ticket was
    // used before (then nothing changes), the entry with its record, or, for a `repeat_of`
    // entry (not 0), the ticket alone, standing for that entry. Throws StorageError and
    // stores nothing when it cannot.
    virtual StoredGame AddGame(const VerifiedGame& game, std::int64_t repeat_of) = 0;
    // The ticket with this id as remembered, while it is; nullopt otherwise.
    virtual std::optional<UsedTicket> FindUsedTicket(const std::string& id) const = 0;
    // The entry with this id, listed or not; nullopt when no entry has it.
    virtual std::optional<ScoreEntry> ReadEntry(std::int64_t id) const = 0;
    // The record kept of the game of the entry `id`; nullopt when none is kept.
    virtual std::optional<std::string> ReadKeptGame(std::int64_t id) const = 0;
    // For each of `ids`, whether its entry's record is kept, in one exchange with the
    // storage and without reading the records.
    virtual std::vector<bool> FindKeptGames(std::span<const std::int64_t> ids) const = 0;
    // True when the storage answers a read and has not failed to store since it last
    // stored.
    virtual bool CheckHealth() const = 0;
    // Entries that operators took off the list.
    virtual std::int64_t CountRemovedEntries() const { return 0; }
};

}  // namespace zorblet::server
