#include "store/redis/redis_score_board.h"

#include <hiredis/hiredis.h>

#include <algorithm>
#include <charconv>
#include <ctime>

#include "store/name_key.h"
#include "store/rank_key.h"
#include "store/redis/redis_ranked_view.h"

namespace zorblet::server {

namespace {

// How long a write waits for the replicas asked for, within the command time-out.
constexpr const char* ReplicaWaitMilliseconds = "500";
constexpr std::int64_t FiguresChunk = 1000;
constexpr const char* BackupAdvice =
    "this list lives in Redis, which keeps its own copies: back it up there (BGSAVE, then copy dump.rdb, "
    "or copy the append-only files)";

std::vector<std::int64_t> ReadIds(const redisReply& ids) {
    std::vector<std::int64_t> read;
    for (std::size_t i = 0; i < ArraySize(ids); ++i) read.push_back(IntegerOf(ArrayElement(ids, i)));
    return read;
}

std::optional<std::int64_t> ParseWhole(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

ModerationRecord ParseLogLine(std::string_view line) {
    ModerationRecord record;
    std::string_view fields[4];
    for (int i = 0; i < 3; ++i) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos) throw StorageError("unexpected reply from Redis: a log line that cannot be read");
        fields[i] = line.substr(0, tab);
        line.remove_prefix(tab + 1);
    }
    fields[3] = line;
    const auto at = ParseWhole(fields[0]);
    if (!at) throw StorageError("unexpected reply from Redis: a log line that cannot be read");
    return {*at, std::string(fields[1]), std::string(fields[2]), std::string(fields[3])};
}

// "used_memory:N" from INFO memory.
std::int64_t FindUsedMemory(std::string_view info) {
    const std::string_view label = "used_memory:";
    const std::size_t at = info.find(label);
    if (at == std::string_view::npos) return 0;
    info.remove_prefix(at + label.size());
    return ParseWhole(info.substr(0, info.find_first_of("\r\n"))).value_or(0);
}

}  // namespace

RedisScoreBoard::RedisScoreBoard(Settings settings)
    : wait_replicas_(settings.wait_replicas), kept_(settings.kept), link_(std::move(settings.link), redis::Scripts()) {}

RedisReply RedisScoreBoard::Read(std::span<const std::string> operations, Listing listing) const {
    const std::vector<std::string> keys{RanksOf(listing), NamesOf(listing), keys_.entries, keys_.removed, keys_.next_id,
                                        keys_.version};
    RedisReply reply = link_.RunScript(redis::ReadScript, keys, operations);
    ArrayElement(*reply, 1);  // the count and the version are there
    return reply;
}

RedisReply RedisScoreBoard::ReadAtOnce(std::span<const std::vector<std::string>> reads, Listing listing) const {
    std::vector<std::vector<std::string>> commands{{"MULTI"}, {"ZCARD", RanksOf(listing)}, {"GET", keys_.version}};
    commands.insert(commands.end(), reads.begin(), reads.end());
    commands.push_back({"EXEC"});
    RedisReply reply = std::move(link_.Pipeline(commands).back());
    // A command that fails inside EXEC (a key of another type) answers an error in its place.
    if (ArraySize(*reply) != reads.size() + 2) throw StorageError("unexpected reply from Redis: a transaction cut short");
    for (std::size_t i = 0; i < reply->elements; ++i) {
        const redisReply& each = ArrayElement(*reply, i);
        if (each.type == REDIS_REPLY_ERROR) throw StorageError("Redis refuses a read: " + std::string(each.str, each.len));
    }
    return reply;
}

void RedisScoreBoard::ReadRanking(Listing listing, const ViewReader& read) const {
    const RedisRankedView view(*this, listing);
    read(view);
}

void RedisScoreBoard::AwaitReplicas() const {
    if (wait_replicas_ <= 0) return;
    const std::vector<std::string> wait{"WAIT", std::to_string(wait_replicas_), ReplicaWaitMilliseconds};
    const std::int64_t confirmed = IntegerOf(*link_.Command(wait));
    if (confirmed < wait_replicas_) {
        throw StorageError("only " + std::to_string(confirmed) + " of " + std::to_string(wait_replicas_) +
                           " replicas hold the write");
    }
}

RedisScoreBoard::Stored RedisScoreBoard::Store(const std::string& address, const ScoreEntry& entry, int per_minute) {
    const auto now = static_cast<std::int64_t>(std::time(nullptr));
    const bool guarded = !address.empty();
    const std::vector<std::string> keys{keys_.next_id, keys_.ranks, keys_.names, keys_.entries, keys_.version,
                                        guarded ? keys_.Allowance(address) : std::string(),
                                        guarded ? keys_.Recent(address, entry.name, entry.points) : std::string()};
    const NameKey folded = FoldName(entry.name);
    const std::vector<std::string> arguments{std::to_string(entry.points), std::string(folded.data(), folded.size()),
                                             redis::EncodeEntry({entry.points, now, entry.date, entry.name, entry.verified}),
                                             std::to_string(per_minute), std::to_string(ChooseVersionSeed())};
    const RedisReply reply = link_.RunScript(redis::SubmitScript, keys, arguments);
    if (reply->type != REDIS_REPLY_ARRAY) {
        const std::string_view result = TextOf(*reply);
        if (result == "limit") return {GateResult::OverLimit, 0};
        throw StorageError("unexpected reply from Redis: " + std::string(result));
    }
    const std::string_view result = TextOf(ArrayElement(*reply, 0));
    if (result != "stored" && result != "repeat") throw StorageError("unexpected reply from Redis: " + std::string(result));
    // A repeat's entry was stored by the first attempt, which may have been answered 503
    // while the replicas were behind: it is answered OK only once they hold it.
    AwaitReplicas();
    return {result == "stored" ? GateResult::Stored : GateResult::Repeat, IntegerOf(ArrayElement(*reply, 1))};
}

std::int64_t RedisScoreBoard::AddEntry(const ScoreEntry& entry) {
    return Store({}, entry, 0).id;
}

GateResult RedisScoreBoard::Submit(const std::string& address, const ScoreEntry& entry, int per_minute) {
    return Store(address, entry, per_minute).result;
}

StoredGame RedisScoreBoard::AddGame(const VerifiedGame& game, std::int64_t repeat_of) {
    if (repeat_of != 0) throw StorageError("a Redis list finds repeats in its own script");
    return SubmitGame({}, game);
}

// The ticket's check, the repeat check and the store are one script: two instances given
// the same ticket at once cannot both store.
StoredGame RedisScoreBoard::SubmitGame(const std::string& address, const VerifiedGame& game) {
    const ScoreEntry& entry = game.entry;
    const auto now = static_cast<std::int64_t>(std::time(nullptr));
    const std::vector<std::string> keys{
        keys_.next_id, keys_.ranks, keys_.names, keys_.entries, keys_.version,
        address.empty() ? std::string() : keys_.Recent(address, entry.name, entry.points),
        keys_.Ticket(game.ticket.id), keys_.verified_ranks, keys_.verified_names, keys_.games, keys_.newest_games};
    const NameKey folded = FoldName(entry.name);
    const std::vector<std::string> arguments{std::to_string(entry.points), std::string(folded.data(), folded.size()),
                                             redis::EncodeEntry({entry.points, now, entry.date, entry.name, true}),
                                             std::to_string(ChooseVersionSeed()), game.ticket.digest,
                                             std::to_string(game.ticket.expires_at), game.record,
                                             std::to_string(kept_.keep_best)};
    const RedisReply reply = link_.RunScript(redis::GameScript, keys, arguments);
    const std::string_view result = TextOf(ArrayElement(*reply, 0));
    const std::int64_t id = IntegerOf(ArrayElement(*reply, 1));
    if (result == "used") return {GameStoreResult::TicketUsed, 0};
    AwaitReplicas();
    if (result == "stored") return {GameStoreResult::Stored, id};
    if (result == "repeat") return {GameStoreResult::Repeat, id};
    if (result == "resent") return {GameStoreResult::Resent, id};
    throw StorageError("unexpected reply from Redis: " + std::string(result));
}

std::optional<UsedTicket> RedisScoreBoard::FindUsedTicket(const std::string& id) const {
    const std::vector<std::vector<std::string>> reads{{"GET", keys_.Ticket(id)}, {"TTL", keys_.Ticket(id)}};
    const std::vector<RedisReply> replies = link_.Pipeline(reads);
    if (IsNil(*replies[0])) return std::nullopt;
    const std::string_view text = TextOf(*replies[0]);
    const std::size_t space = text.find(' ');
    const auto entry = space == std::string_view::npos ? std::nullopt : ParseWhole(text.substr(space + 1));
    if (!entry) throw StorageError("unexpected reply from Redis: a used ticket that cannot be read");
    const std::int64_t left = std::max<std::int64_t>(0, IntegerOf(*replies[1]));
    return UsedTicket{id, std::string(text.substr(0, space)), *entry, static_cast<std::int64_t>(std::time(nullptr)) + left};
}

std::optional<ScoreEntry> RedisScoreBoard::ReadEntry(std::int64_t id) const {
    const std::vector<std::string> fetch{"HGET", keys_.entries, std::to_string(id)};
    const RedisReply record = link_.Command(fetch);
    if (IsNil(*record)) return std::nullopt;
    const std::optional<redis::StoredEntry> entry = redis::DecodeEntry(TextOf(*record));
    if (!entry) throw StorageError("unexpected reply from Redis: an entry that cannot be read");
    return ScoreEntry{entry->points, entry->name, entry->date, entry->verified};
}

std::optional<std::string> RedisScoreBoard::ReadKeptGame(std::int64_t id) const {
    const std::vector<std::string> fetch{"HGET", keys_.games, std::to_string(id)};
    const RedisReply record = link_.Command(fetch);
    if (IsNil(*record)) return std::nullopt;
    return std::string(TextOf(*record));
}

std::vector<bool> RedisScoreBoard::FindKeptGames(std::span<const std::int64_t> ids) const {
    std::vector<std::vector<std::string>> asks;
    asks.reserve(ids.size());
    for (std::int64_t id : ids) asks.push_back({"HEXISTS", keys_.games, std::to_string(id)});
    std::vector<bool> kept;
    kept.reserve(ids.size());
    if (asks.empty()) return kept;
    for (const RedisReply& reply : link_.Pipeline(asks)) kept.push_back(IntegerOf(*reply) == 1);
    return kept;
}

bool RedisScoreBoard::TakeAllowance(const std::string& address, int per_minute) {
    if (per_minute <= 0) return true;
    const std::vector<std::string> keys{keys_.Allowance(address)};
    const std::vector<std::string> arguments{std::to_string(per_minute)};
    return IntegerOf(*link_.RunScript(redis::AllowanceScript, keys, arguments)) == 1;
}

bool RedisScoreBoard::CheckHealth() const {
    return link_.Answers();
}

std::int64_t RedisScoreBoard::CountRemovedEntries() const {
    const std::vector<std::string> count{"HLEN", keys_.removed};
    return IntegerOf(*link_.Command(count));
}

// The members to move are worked out from the entries first (the names are folded
// here); the script then checks and changes in one step, so nothing comes between.
ModerationOutcome RedisScoreBoard::Moderate(const ModerationChange& change) {
    const std::vector<std::int64_t>& ids = change.ids;
    std::vector<std::string> fetch{"HMGET", keys_.entries};
    for (std::int64_t id : ids) fetch.push_back(std::to_string(id));
    const RedisReply records = link_.Command(fetch);
    std::vector<std::string> arguments{std::string(change.action()), std::to_string(change.at),
                                       std::string(change.reason), std::to_string(ChooseVersionSeed())};
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const redisReply& record = ArrayElement(*records, i);
        arguments.push_back(std::to_string(ids[i]));
        if (IsNil(record)) {
            arguments.insert(arguments.end(), {std::string(), std::string()});
            continue;
        }
        const std::optional<redis::StoredEntry> entry = redis::DecodeEntry(TextOf(record));
        if (!entry) throw StorageError("unexpected reply from Redis: an entry that cannot be read");
        arguments.push_back(redis::RankMember(entry->points, ids[i]));
        arguments.push_back(redis::NameMember(entry->name, entry->points, ids[i]));
    }
    const std::vector<std::string> keys{keys_.ranks,   keys_.names,          keys_.entries,        keys_.removed, keys_.log,
                                        keys_.version, keys_.verified_ranks, keys_.verified_names, keys_.games};
    const RedisReply reply = link_.RunScript(redis::ModerateScript, keys, arguments);
    ModerationOutcome outcome{ReadIds(ArrayElement(*reply, 0)), ReadIds(ArrayElement(*reply, 1)),
                              ReadIds(ArrayElement(*reply, 2))};
    if (outcome.ChangedList()) AwaitReplicas();
    return outcome;
}

std::vector<ModerationRecord> RedisScoreBoard::ReadModerationLog() const {
    const std::vector<std::string> range{"LRANGE", keys_.log, "0", "-1"};
    const RedisReply lines = link_.Command(range);
    std::vector<ModerationRecord> records;
    for (std::size_t i = 0; i < ArraySize(*lines); ++i) records.push_back(ParseLogLine(TextOf(ArrayElement(*lines, i))));
    return records;
}

void RedisScoreBoard::VisitRemovedEntries(const RankedView::PlaceVisitor& visit) const {
    const std::vector<std::string> operation{"X"};
    const RedisReply reply = Read(operation);
    const redisReply& triples = ArrayElement(*reply, 2);
    struct Removed {
        std::int64_t place;
        redis::MemberKey key;
        redis::StoredEntry entry;
    };
    std::vector<Removed> removed;
    if (ArraySize(triples) % 3 != 0) throw StorageError("unexpected reply from Redis: a removed entry cut short");
    for (std::size_t i = 0; i < ArraySize(triples); i += 3) {
        const auto key = redis::ParseRankMember(TextOf(ArrayElement(triples, i + 1)));
        const auto entry = redis::DecodeEntry(TextOf(ArrayElement(triples, i + 2)));
        if (!key || !entry) throw StorageError("unexpected reply from Redis: an entry that cannot be read");
        removed.push_back({IntegerOf(ArrayElement(triples, i)), *key, *entry});
    }
    std::sort(removed.begin(), removed.end(), [](const Removed& a, const Removed& b) {
        return RanksBefore({a.key.points, a.key.id}, {b.key.points, b.key.id});
    });
    for (const Removed& each : removed) {
        const RankedEntry entry{each.key.id,         each.key.points,        each.entry.name,
                                each.entry.date,     each.entry.stored_at,   each.entry.verified};
        if (!visit(each.place, entry)) return;
    }
}

BackupOffer RedisScoreBoard::OfferBackups() const {
    return {{}, BackupAdvice};
}

void RedisScoreBoard::CopyList(const std::filesystem::path&) const {
    throw StorageError(BackupAdvice);
}

// Entries are stored in time order: walk back from the newest, a chunk at a time, so
// that Redis is never held up for long.
BoardFigures RedisScoreBoard::ReadFigures(std::int64_t now) const {
    const std::vector<std::vector<std::string>> counts{{"ZCARD", keys_.ranks},        {"HLEN", keys_.removed},
                                                       {"INFO", "memory"},           {"GET", keys_.next_id},
                                                       {"ZCARD", keys_.verified_ranks}, {"HLEN", keys_.games}};
    const std::vector<RedisReply> replies = link_.Pipeline(counts);
    BoardFigures figures;
    figures.listed = IntegerOf(*replies[0]);
    figures.verified = IntegerOf(*replies[4]);
    figures.kept_games = IntegerOf(*replies[5]);
    figures.removed = IntegerOf(*replies[1]);
    figures.database_bytes = FindUsedMemory(TextOf(*replies[2]));
    std::int64_t id = IsNil(*replies[3]) ? 0 : IntegerOf(*replies[3]);
    while (id > 0) {
        std::vector<std::string> fetch{"HMGET", keys_.entries};
        for (std::int64_t each = id; each > std::max<std::int64_t>(0, id - FiguresChunk); --each) {
            fetch.push_back(std::to_string(each));
        }
        id -= FiguresChunk;
        const RedisReply records = link_.Command(fetch);
        for (std::size_t i = 0; i < ArraySize(*records); ++i) {
            const redisReply& record = ArrayElement(*records, i);
            if (IsNil(record)) continue;
            const std::optional<redis::StoredEntry> entry = redis::DecodeEntry(TextOf(record));
            if (!entry || !CountRecentlyStored(figures, now, entry->stored_at)) return figures;
        }
    }
    return figures;
}

}  // namespace zorblet::server
