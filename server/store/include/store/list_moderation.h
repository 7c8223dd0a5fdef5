#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/score_board.h"

namespace zorblet::server {

// What a remove or restore found: with any unknown id nothing changed at all; otherwise
// the entries already in the state asked for stayed as they were, and the others changed.
struct ModerationOutcome {
    std::vector<std::int64_t> unknown;
    std::vector<std::int64_t> unchanged;
    std::vector<std::int64_t> changed;

    // Whether the list changed: every id is known and some were not yet as asked.
    bool ChangedList() const { return unknown.empty() && !changed.empty(); }
};

// A remove or a restore as a store carries it out.
struct ModerationChange {
    std::vector<std::int64_t> ids;  // each once, ascending
    bool remove = true;
    std::string_view reason;  // empty for a restore
    std::int64_t at = 0;      // Unix time

    // As the moderation log names it.
    std::string_view action() const { return remove ? "remove" : "restore"; }
};

// One line of the moderation log.
struct ModerationRecord {
    std::int64_t at = 0;  // Unix time
    std::string action;   // "remove" or "restore"
    std::string ids;      // the entries changed, separated by spaces
    std::string reason;   // UTF-8, one line; empty when none was given

    bool operator==(const ModerationRecord&) const = default;
};

// What an operator wants to know about the list.
struct BoardFigures {
    std::int64_t listed = 0;
    std::int64_t removed = 0;
    std::int64_t database_bytes = 0;  // what the store takes: the file and its log, or Redis's memory
    std::int64_t stored_last_hour = 0;
    std::int64_t stored_last_day = 0;
};

// Counts an entry stored at `stored_at` into the figures' last hour and last day, for a
// walk through the entries from the newest back; false once the entries are so old that
// none further back can count, allowing for a clock set back a little meanwhile.
bool CountRecentlyStored(BoardFigures& figures, std::int64_t now, std::int64_t stored_at);

// The operators' side of a list: take entries off it and bring them back, with a log of
// every change, and the figures. Every call throws StorageError when the store fails.
class ListModeration {
public:
    virtual ~ListModeration() = default;
    // Take entries out of every reply, or bring them back to their places; each change is
    // stored and logged with `reason` before the call returns.
    ModerationOutcome RemoveEntries(std::span<const std::int64_t> ids, std::string_view reason);
    ModerationOutcome RestoreEntries(std::span<const std::int64_t> ids);
    virtual std::vector<ModerationRecord> ReadModerationLog() const = 0;
    // The removed entries in rank order, each with the place a restore would give it.
    virtual void VisitRemovedEntries(const RankedView::PlaceVisitor& visit) const = 0;
    virtual BoardFigures ReadFigures(std::int64_t now) const = 0;

protected:
    // Checks every id and carries out the change as one step, so that nothing comes
    // between; changes nothing unless the outcome says the list changed.
    virtual ModerationOutcome Moderate(const ModerationChange& change) = 0;
};

// The ids as text, in their order, with `separator` between them.
std::string JoinIds(std::span<const std::int64_t> ids, std::string_view separator);

}  // namespace zorblet::server
