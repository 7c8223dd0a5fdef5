#include "store/redis/redis_scripts.h"

#include <charconv>
#include <cstdio>
#include <limits>

#include "store/name_key.h"

namespace zorblet::server::redis {

namespace {

// Shared by the scripts: the member of an entry, the allowance, the version.
constexpr const char* CommonLua = R"lua(
local function rank_member(points, id)
  return string.format('%08x%012x', 2147483647 - points, id)
end

local function points_of(record)
  return tonumber(string.match(record, '^(-?%d+) '))
end

-- Every attempt moves the time at which the address's allowance is full again one
-- interval on; it is used up when that time would lie more than a minute ahead. `now`, in
-- microseconds, is Redis's clock, which serves all instances alike, unless a test gives
-- one of its own.
local function take_allowance(key, per_minute, now)
  if key == '' or per_minute <= 0 then return true end
  if not now then
    local time = redis.call('TIME')
    now = tonumber(time[1]) * 1000000 + tonumber(time[2])
  end
  local interval = math.floor(60000000 / per_minute)
  local full_at = tonumber(redis.call('GET', key) or '0') or 0
  local next_full = math.max(full_at, now) + interval
  if next_full - now > 60000000 then return false end
  redis.call('SET', key, string.format('%.0f', next_full), 'PX', math.ceil((next_full - now) / 1000))
  return true
end

-- The first key that is not of its kind (a number counts as a 'string'), or nil. A
-- script checks before it writes, since Redis undoes nothing a failing script wrote.
local function find_damaged(kinds)
  for key, kind in pairs(kinds) do
    local found = redis.call('TYPE', key)['ok']
    if found ~= 'none' and found ~= kind then return key end
    if found == 'string' and not string.match(redis.call('GET', key), '^%-?%d+$') then return key end
  end
  return nil
end

-- A list met for the first time starts at a random version, so that a page cached before
-- the list was emptied and filled again is never taken for the list as it is now.
local function move_version(key, seed)
  if redis.call('EXISTS', key) == 0 then redis.call('SET', key, seed) end
  redis.call('INCR', key)
end
)lua";

// KEYS: next-id, ranks, names, entries, version, allowance ('' for none), recent ('' for
// none). ARGV: points, folded name padded, encoded entry, allowance per minute, seed.
constexpr const char* SubmitLua = R"lua(
local damaged = find_damaged({[KEYS[1]] = 'string', [KEYS[2]] = 'zset', [KEYS[3]] = 'zset', [KEYS[4]] = 'hash',
                              [KEYS[5]] = 'string'})
if damaged then return redis.error_reply('the key ' .. damaged .. ' is not what this list keeps there') end
if not take_allowance(KEYS[6], tonumber(ARGV[4])) then return 'limit' end
if KEYS[7] ~= '' and not redis.call('SET', KEYS[7], '1', 'NX', 'PX', 60000) then return 'repeat' end
local id = redis.call('INCR', KEYS[1])
local member = rank_member(tonumber(ARGV[1]), id)
redis.call('ZADD', KEYS[2], 0, member .. ARGV[3])
redis.call('ZADD', KEYS[3], 0, ARGV[2] .. member)
redis.call('HSET', KEYS[4], id, ARGV[3])
move_version(KEYS[5], ARGV[5])
return 'stored'
)lua";

// KEYS: allowance. ARGV: per minute.
constexpr const char* AllowanceLua = R"lua(
if take_allowance(KEYS[1], tonumber(ARGV[1])) then return 1 end
return 0
)lua";

// KEYS: ranks, names, entries, removed, next-id, version. ARGV: operations, each a letter
// and its numbers. Replies {count, version, result of each operation}. The rows of the
// game's two reads come with native commands instead (RedisScoreBoard::ReadAtOnce); a
// member of the ranks set sorts after its first 20 characters, so ZLEXCOUNT up to
// rank_member(points, id) counts exactly the entries ranked before that one.
constexpr const char* ReadLua = R"lua(
local ranks, names, entries, removed = KEYS[1], KEYS[2], KEYS[3], KEYS[4]
local count = redis.call('ZCARD', ranks)

-- 1 + the listed entries with at least `points`.
local function place_of_points(points)
  local key = 2147483647 - points
  if key >= 4294967295 then return count + 1 end
  return redis.call('ZLEXCOUNT', ranks, '-', '(' .. string.format('%08x', key + 1)) + 1
end

-- Appends place, member and entry of the entry with this id and record.
local function add_placed(out, id, record)
  local member = rank_member(points_of(record), id)
  out[#out + 1] = redis.call('ZLEXCOUNT', ranks, '-', '(' .. member) + 1
  out[#out + 1] = member
  out[#out + 1] = record
end

local function newest(wanted)
  local out = {}
  local id = tonumber(redis.call('GET', KEYS[5]) or '0')
  local steps = 0
  while id > 0 and #out < 3 * wanted and steps < 100000 do
    if redis.call('HEXISTS', removed, id) == 0 then
      local record = redis.call('HGET', entries, id)
      if record then add_placed(out, id, record) end
    end
    id = id - 1
    steps = steps + 1
  end
  return out
end

-- How many names begin with the folded prefix, and the best `limit` of them in rank order.
local function search(prefix, limit)
  local low, high = '[' .. prefix, '[' .. prefix .. string.rep('\255', 64)
  local total = redis.call('ZLEXCOUNT', names, low, high)
  local best = {}
  while true do
    local batch = redis.call('ZRANGEBYLEX', names, low, high, 'LIMIT', 0, 4096)
    for _, member in ipairs(batch) do
      local key = string.sub(member, -20)
      if limit > 0 and (#best < limit or key < best[#best]) then
        local at = #best + 1
        while at > 1 and best[at - 1] > key do at = at - 1 end
        table.insert(best, at, key)
        if #best > limit then best[#best] = nil end
      end
    end
    if #batch < 4096 then break end
    low = '(' .. batch[#batch]
  end
  local out = {total}
  for _, member in ipairs(best) do
    out[#out + 1] = redis.call('ZLEXCOUNT', ranks, '-', '(' .. member) + 1
    out[#out + 1] = member
    out[#out + 1] = redis.call('HGET', entries, tonumber(string.sub(member, 9), 16))
  end
  return out
end

local function removed_entries()
  local out = {}
  local ids = redis.call('HKEYS', removed)
  for _, id in ipairs(ids) do
    local record = redis.call('HGET', entries, id)
    if record then add_placed(out, tonumber(id), record) end
  end
  return out
end

local reply = {count, redis.call('GET', KEYS[6]) or '0'}
local i = 1
while i <= #ARGV do
  local op = ARGV[i]
  if op == 'C' then
    local places = {}
    local n = tonumber(ARGV[i + 1])
    for k = 1, n do places[k] = place_of_points(tonumber(ARGV[i + 1 + k])) end
    reply[#reply + 1] = places
    i = i + 2 + n
  elseif op == 'O' then
    local member = rank_member(tonumber(ARGV[i + 1]), tonumber(ARGV[i + 2]))
    reply[#reply + 1] = {redis.call('ZLEXCOUNT', ranks, '-', '(' .. member) + 1}
    i = i + 3
  elseif op == 'N' then
    reply[#reply + 1] = newest(tonumber(ARGV[i + 1]))
    i = i + 2
  elseif op == 'S' then
    reply[#reply + 1] = search(ARGV[i + 1], tonumber(ARGV[i + 2]))
    i = i + 3
  elseif op == 'X' then
    reply[#reply + 1] = removed_entries()
    i = i + 1
  else
    return redis.error_reply('unknown read ' .. op)
  end
end
return reply
)lua";

// KEYS: ranks, names, entries, removed, log, version. ARGV: 'remove' or 'restore', now,
// reason, seed, then for each id: id, RankMember, name member. Replies {unknown ids,
// unchanged ids, changed ids}; changes nothing unless every id is known. The ranks
// member is completed here with the entry's record, as the submission wrote it.
constexpr const char* ModerateLua = R"lua(
local damaged = find_damaged({[KEYS[1]] = 'zset', [KEYS[2]] = 'zset', [KEYS[3]] = 'hash', [KEYS[4]] = 'hash',
                              [KEYS[5]] = 'list', [KEYS[6]] = 'string'})
if damaged then return redis.error_reply('the key ' .. damaged .. ' is not what this list keeps there') end
local remove = ARGV[1] == 'remove'
local unknown, unchanged, changed = {}, {}, {}
for i = 5, #ARGV, 3 do
  local id = ARGV[i]
  if redis.call('HEXISTS', KEYS[3], id) == 0 then
    unknown[#unknown + 1] = id
  elseif (redis.call('HEXISTS', KEYS[4], id) == 1) == remove then
    unchanged[#unchanged + 1] = id
  else
    changed[#changed + 1] = i
  end
end
local changed_ids = {}
for k, i in ipairs(changed) do changed_ids[k] = ARGV[i] end
if #unknown > 0 or #changed == 0 then return {unknown, unchanged, changed_ids} end
for _, i in ipairs(changed) do
  local member = ARGV[i + 1] .. redis.call('HGET', KEYS[3], ARGV[i])
  if remove then
    redis.call('ZREM', KEYS[1], member)
    redis.call('ZREM', KEYS[2], ARGV[i + 2])
    redis.call('HSET', KEYS[4], ARGV[i], ARGV[2])
  else
    redis.call('ZADD', KEYS[1], 0, member)
    redis.call('ZADD', KEYS[2], 0, ARGV[i + 2])
    redis.call('HDEL', KEYS[4], ARGV[i])
  end
end
redis.call('RPUSH', KEYS[5], ARGV[2] .. '\t' .. ARGV[1] .. '\t' .. table.concat(changed_ids, ' ') .. '\t' .. ARGV[3])
move_version(KEYS[6], ARGV[4])
return {unknown, unchanged, changed_ids}
)lua";

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text, int base = 10) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// Cuts the text up to the next space off `text`.
std::string_view TakeWord(std::string_view& text) {
    const std::size_t space = text.find(' ');
    if (space == std::string_view::npos) {
        const std::string_view word = text;
        text = {};
        return word;
    }
    const std::string_view word = text.substr(0, space);
    text.remove_prefix(space + 1);
    return word;
}

}  // namespace

std::string Keys::Allowance(std::string_view address) const {
    return "zorblet:allowance:" + std::string(address);
}

// Names hold no TAB, so the joined key is unambiguous.
std::string Keys::Recent(std::string_view address, std::string_view name, std::int32_t points) const {
    return "zorblet:recent:" + std::string(address) + '\t' + std::string(name) + '\t' + std::to_string(points);
}

std::string RankMember(std::int32_t points, std::int64_t id) {
    char text[RankMemberLength + 1];
    const auto key = static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max() - std::int64_t{points});
    std::snprintf(text, sizeof text, "%08x%012llx", key, static_cast<unsigned long long>(id));
    return {text, RankMemberLength};
}

std::optional<MemberKey> ParseRankMember(std::string_view member) {
    if (member.size() != RankMemberLength) return std::nullopt;
    const auto key = ParseNumber<std::uint32_t>(member.substr(0, 8), 16);
    const auto id = ParseNumber<std::int64_t>(member.substr(8), 16);
    if (!key || !id) return std::nullopt;
    return MemberKey{static_cast<std::int32_t>(std::numeric_limits<std::int32_t>::max() - std::int64_t{*key}), *id};
}

std::string NameMember(std::string_view name, std::int32_t points, std::int64_t id) {
    const NameKey folded = FoldName(name);
    return std::string(folded.data(), folded.size()) + RankMember(points, id);
}

std::string EncodeEntry(const StoredEntry& entry) {
    return std::to_string(entry.points) + ' ' + std::to_string(entry.stored_at) + ' ' +
           std::to_string(entry.date.size()) + ' ' + entry.date + entry.name;
}

std::optional<StoredEntry> DecodeEntry(std::string_view text) {
    const auto points = ParseNumber<std::int32_t>(TakeWord(text));
    const auto stored_at = ParseNumber<std::int64_t>(TakeWord(text));
    const auto date_length = ParseNumber<std::size_t>(TakeWord(text));
    if (!points || !stored_at || !date_length || *date_length > text.size()) return std::nullopt;
    return StoredEntry{*points, *stored_at, std::string(text.substr(0, *date_length)),
                       std::string(text.substr(*date_length))};
}

std::string ListedMember(std::int64_t id, const StoredEntry& entry) {
    return RankMember(entry.points, id) + EncodeEntry(entry);
}

std::optional<ListedEntry> ParseListedMember(std::string_view member) {
    if (member.size() < RankMemberLength) return std::nullopt;
    const std::optional<MemberKey> key = ParseRankMember(member.substr(0, RankMemberLength));
    std::optional<StoredEntry> entry = DecodeEntry(member.substr(RankMemberLength));
    if (!key || !entry || entry->points != key->points) return std::nullopt;
    return ListedEntry{*key, std::move(*entry)};
}

std::string EncodeLogLine(std::int64_t at, std::string_view action, std::string_view ids, std::string_view reason) {
    return std::to_string(at) + '\t' + std::string(action) + '\t' + std::string(ids) + '\t' + std::string(reason);
}

std::string_view ScriptFunctions() {
    return CommonLua;
}

std::vector<std::string> Scripts() {
    const std::string common = CommonLua;
    return {common + SubmitLua, common + AllowanceLua, common + ReadLua, common + ModerateLua};
}

}  // namespace zorblet::server::redis
