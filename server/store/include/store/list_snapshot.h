#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "store/list_moderation.h"
#include "store/score_board.h"

namespace zorblet::server {

// One entry as a store holds it, listed or not.
struct SnapshotEntry {
    std::int64_t id = 0;
    ScoreEntry entry;
    std::int64_t stored_at = 0;  // Unix time
};

// A whole list as of one moment, for copying it from one store into another: every entry
// with its id, the removals and the moderation log.
struct ListSnapshot {
    std::vector<SnapshotEntry> entries;            // in id order
    std::map<std::int64_t, std::int64_t> removed;  // id -> Unix time of the removal
    std::vector<ModerationRecord> log;             // oldest first
};

}  // namespace zorblet::server
