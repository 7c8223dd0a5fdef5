#pragma once

#include <cstdint>

#include "store/list_snapshot.h"
#include "store/redis/redis_link.h"

namespace zorblet::server {

// What a copy did.
struct CopyReport {
    bool already_there = false;  // the list held all of it: nothing was written
    std::int64_t entries = 0;
    std::int64_t removed = 0;
    std::int64_t log_lines = 0;
};

// Copies a list (its entries with their ids, removals and moderation log), as another
// store read it at one moment, into the list in Redis. Ids stay as they were, and later
// entries get higher ones, so the order among equal points stays. Run again, it finds
// the list there and writes nothing; it resumes a copy cut short. Throws StorageError,
// writing nothing, when the Redis list holds anything else.
CopyReport CopyListToRedis(const ListSnapshot& snapshot, RedisLink& link);

}  // namespace zorblet::server
