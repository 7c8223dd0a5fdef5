#include "store/redis/copy_to_redis.h"

#include <hiredis/hiredis.h>

#include <algorithm>
#include <map>

#include "store/redis/redis_scripts.h"

namespace zorblet::server {

namespace {

constexpr std::size_t Batch = 1000;

// An entry as the Redis list holds it.
redis::StoredEntry StoredOf(const SnapshotEntry& copied) {
    return {copied.entry.points, copied.stored_at, copied.entry.date, copied.entry.name};
}

std::string EncodeLogLine(const ModerationRecord& record) {
    return redis::EncodeLogLine(record.at, record.action, record.ids, record.reason);
}

[[noreturn]] void RefuseOther(const std::string& what) {
    throw StorageError("the Redis list is not this one (" + what + "); nothing was copied");
}

// The entries the list lacks; refuses when it holds any entry otherwise than the copy.
std::vector<const SnapshotEntry*> FindMissingEntries(const ListSnapshot& snapshot, RedisLink& link,
                                                     const redis::Keys& keys) {
    std::vector<const SnapshotEntry*> missing;
    for (std::size_t start = 0; start < snapshot.entries.size(); start += Batch) {
        const std::size_t end = std::min(snapshot.entries.size(), start + Batch);
        std::vector<std::string> fetch{"HMGET", keys.entries};
        for (std::size_t i = start; i < end; ++i) fetch.push_back(std::to_string(snapshot.entries[i].id));
        const RedisReply records = link.Command(fetch);
        for (std::size_t i = start; i < end; ++i) {
            const redisReply& record = ArrayElement(*records, i - start);
            if (IsNil(record)) {
                missing.push_back(&snapshot.entries[i]);
            } else if (TextOf(record) != redis::EncodeEntry(StoredOf(snapshot.entries[i]))) {
                RefuseOther("entry " + std::to_string(snapshot.entries[i].id) + " differs");
            }
        }
    }
    const std::vector<std::string> count{"HLEN", keys.entries};
    const auto present = static_cast<std::int64_t>(snapshot.entries.size() - missing.size());
    if (IntegerOf(*link.Command(count)) != present) RefuseOther("it holds entries the file does not");
    return missing;
}

std::vector<std::int64_t> FindMissingRemovals(const ListSnapshot& snapshot, RedisLink& link, const redis::Keys& keys) {
    const std::vector<std::string> all{"HGETALL", keys.removed};
    const RedisReply pairs = link.Command(all);
    std::map<std::int64_t, std::int64_t> present;
    for (std::size_t i = 0; i + 1 < ArraySize(*pairs); i += 2) {
        present[IntegerOf(ArrayElement(*pairs, i))] = IntegerOf(ArrayElement(*pairs, i + 1));
    }
    std::vector<std::int64_t> missing;
    for (const auto& [id, at] : present) {
        const auto found = snapshot.removed.find(id);
        if (found == snapshot.removed.end() || found->second != at) RefuseOther("entry " + std::to_string(id) + " is removed there");
    }
    for (const auto& [id, at] : snapshot.removed) {
        if (!present.contains(id)) missing.push_back(id);
    }
    return missing;
}

std::size_t CountLogLinesThere(const ListSnapshot& snapshot, RedisLink& link, const redis::Keys& keys) {
    const std::vector<std::string> range{"LRANGE", keys.log, "0", "-1"};
    const RedisReply lines = link.Command(range);
    const std::size_t count = ArraySize(*lines);
    if (count > snapshot.log.size()) RefuseOther("its moderation log is longer");
    for (std::size_t i = 0; i < count; ++i) {
        if (TextOf(ArrayElement(*lines, i)) != EncodeLogLine(snapshot.log[i])) RefuseOther("its moderation log differs");
    }
    return count;
}

void WriteEntries(const std::vector<const SnapshotEntry*>& entries, const ListSnapshot& snapshot, RedisLink& link,
                  const redis::Keys& keys) {
    for (std::size_t start = 0; start < entries.size(); start += Batch) {
        const std::size_t end = std::min(entries.size(), start + Batch);
        std::vector<std::string> records{"HSET", keys.entries};
        std::vector<std::string> ranks{"ZADD", keys.ranks};
        std::vector<std::string> names{"ZADD", keys.names};
        for (std::size_t i = start; i < end; ++i) {
            const SnapshotEntry& copied = *entries[i];
            const redis::StoredEntry stored = StoredOf(copied);
            records.push_back(std::to_string(copied.id));
            records.push_back(redis::EncodeEntry(stored));
            if (snapshot.removed.contains(copied.id)) continue;
            ranks.insert(ranks.end(), {"0", redis::ListedMember(copied.id, stored)});
            names.insert(names.end(), {"0", redis::NameMember(stored.name, stored.points, copied.id)});
        }
        std::vector<std::vector<std::string>> commands{records};
        if (ranks.size() > 2) commands.insert(commands.end(), {ranks, names});
        link.Pipeline(commands);
    }
}

}  // namespace

CopyReport CopyListToRedis(const ListSnapshot& snapshot, RedisLink& link) {
    const redis::Keys keys;
    const std::vector<const SnapshotEntry*> missing = FindMissingEntries(snapshot, link, keys);
    const std::vector<std::int64_t> missing_removals = FindMissingRemovals(snapshot, link, keys);
    const std::size_t log_there = CountLogLinesThere(snapshot, link, keys);
    const std::int64_t last_id = snapshot.entries.empty() ? 0 : snapshot.entries.back().id;
    const std::vector<std::string> get_next{"GET", keys.next_id};
    const RedisReply next_reply = link.Command(get_next);
    const std::int64_t next_id = IsNil(*next_reply) ? 0 : IntegerOf(*next_reply);

    CopyReport report{true, static_cast<std::int64_t>(snapshot.entries.size()),
                      static_cast<std::int64_t>(snapshot.removed.size()), static_cast<std::int64_t>(snapshot.log.size())};
    if (missing.empty() && missing_removals.empty() && log_there == snapshot.log.size() && next_id >= last_id) {
        return report;
    }
    report.already_there = false;
    // Removals before entries: an entry once written is never listed when it should not be.
    std::vector<std::vector<std::string>> commands;
    if (!missing_removals.empty()) {
        std::vector<std::string> removals{"HSET", keys.removed};
        for (std::int64_t id : missing_removals) {
            removals.push_back(std::to_string(id));
            removals.push_back(std::to_string(snapshot.removed.at(id)));
        }
        commands.push_back(std::move(removals));
    }
    if (log_there < snapshot.log.size()) {
        std::vector<std::string> lines{"RPUSH", keys.log};
        for (std::size_t i = log_there; i < snapshot.log.size(); ++i) lines.push_back(EncodeLogLine(snapshot.log[i]));
        commands.push_back(std::move(lines));
    }
    if (!commands.empty()) link.Pipeline(commands);
    WriteEntries(missing, snapshot, link, keys);
    const std::vector<std::vector<std::string>> finish{{"SET", keys.next_id, std::to_string(std::max(next_id, last_id))},
                                                       {"SET", keys.version, std::to_string(ChooseVersionSeed()), "NX"},
                                                       {"INCR", keys.version}};
    link.Pipeline(finish);
    return report;
}

}  // namespace zorblet::server
