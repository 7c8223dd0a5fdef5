#pragma once

#include <cstdint>
#include <string>

#include "store/score_board.h"

namespace zorblet::server {

// A game's ticket as a store remembers it once a record came with it: by its id, with a
// digest of that record and the entry it led to, until it no longer counts.
struct UsedTicket {
    std::string id;               // the ticket's id as text
    std::string digest;           // of the record sent with it, as text
    std::int64_t entry_id = 0;    // the entry stored for it, or the one its score repeated
    std::int64_t expires_at = 0;  // Unix time: forgotten after it

    bool operator==(const UsedTicket&) const = default;
};

// A game whose record the service replayed to the score of its entry, as a store takes
// it: the entry (verified), the record's bytes, and its ticket, used from then on.
struct VerifiedGame {
    ScoreEntry entry;
    std::string record;
    UsedTicket ticket;  // entry_id is the store's to set
};

// What became of a verified game at the store: stored as a new entry, its score a repeat
// of the entry `id` (which its ticket now stands for), or its ticket used before, by this
// very record (resent: `id` is what it stored then) or by another.
enum class GameStoreResult { Stored, Repeat, Resent, TicketUsed };

struct StoredGame {
    GameStoreResult result = GameStoreResult::Stored;
    std::int64_t id = 0;  // the entry, unless TicketUsed
};

// Which records a store keeps: those of the `keep_best` best verified entries and of the
// NewestEntriesKept verified entries stored last; a record whose entry is neither any
// longer is dropped, and so is the record of an entry removed.
struct KeptGames {
    std::int64_t keep_best = 10000;
};

}  // namespace zorblet::server
