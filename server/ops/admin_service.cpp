#include "ops/admin_service.h"

#include <algorithm>
#include <ctime>
#include <limits>

#include "ops/admin_protocol.h"
#include "platform/cp1252.h"
#include "query/values.h"
#include "store/rank_key.h"

namespace zorblet::server {

namespace {

using platform::Cp1252ToUtf8;

// A page of a listing holds at most this many entries and looks at most at this many,
// so that neither a reply nor the time the list stays locked for reading grows with the list.
constexpr std::size_t PageEntries = 5000;
constexpr std::size_t PageLooks = 200000;
constexpr std::size_t MaxReasonBytes = 1000;

struct EntryFilter {
    admin::PlaceRange places;
    std::optional<std::string> name_prefix;  // Windows-1252
    std::optional<int> since;                // YYYYMMDD
    bool removed = false;
    std::optional<RankKey> after;
};

struct ParsedFilter {
    std::optional<EntryFilter> filter;  // nullopt when the prefix holds a character no name has
    std::string problem;
};

// The value of a parameter given at most once: nullopt when absent.
std::optional<std::string> OptionalValue(const QueryParameters& parameters, std::string_view name,
                                         std::string& problem) {
    std::optional<std::string> found;
    for (const auto& [key, value] : parameters) {
        if (key != name) continue;
        if (found) problem = "parameter " + std::string(name) + " is given twice";
        found = value;
    }
    return found;
}

std::string FindUnknownParameter(const QueryParameters& parameters, std::initializer_list<std::string_view> known) {
    for (const auto& [key, value] : parameters) {
        if (std::find(known.begin(), known.end(), key) == known.end()) return "unknown parameter " + key;
    }
    return {};
}

std::optional<RankKey> ParseCursor(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const std::optional<std::int32_t> points = ParsePoints(text.substr(0, colon));
    const std::optional<std::int64_t> id = admin::ParseEntryId(text.substr(colon + 1));
    if (!points || !id) return std::nullopt;
    return RankKey{*points, *id};
}

ParsedFilter ParseEntryFilter(const QueryParameters& parameters) {
    ParsedFilter parsed{EntryFilter{}, FindUnknownParameter(parameters, {"places", "name", "since", "removed", "after"})};
    EntryFilter& filter = *parsed.filter;
    std::string& problem = parsed.problem;
    if (const auto places = OptionalValue(parameters, "places", problem)) {
        const auto range = admin::ParsePlaceRange(*places);
        if (!range) problem = "places must be FIRST-LAST, two places from 1 on, the first not after the last";
        filter.places = range.value_or(admin::PlaceRange{});
    }
    if (const auto since = OptionalValue(parameters, "since", problem)) {
        filter.since = ParseDay(*since);
        if (!filter.since) problem = "since must be a day YYYY-MM-DD";
    }
    if (const auto removed = OptionalValue(parameters, "removed", problem)) filter.removed = *removed == "1";
    if (const auto after = OptionalValue(parameters, "after", problem)) {
        filter.after = ParseCursor(*after);
        if (!filter.after) problem = "after must be POINTS:ID";
    }
    if (const auto name = OptionalValue(parameters, "name", problem)) {
        filter.name_prefix = platform::Utf8ToCp1252(*name);
        if (!filter.name_prefix) parsed.filter.reset();  // no name can start so
    }
    return parsed;
}

// The stored date dd.MM.yy as YYYYMMDD; 0 for a date that is not of that form.
int DayOfDate(std::string_view date) {
    const std::optional<std::string> iso = IsoDateOf(date);
    return iso ? ParseDay(*iso).value_or(0) : 0;
}

bool Matches(const EntryFilter& filter, std::int64_t place, const RankedEntry& entry) {
    if (place < filter.places.first || place > filter.places.last) return false;
    if (filter.since && DayOfDate(entry.date) < *filter.since) return false;
    return !filter.name_prefix || platform::StartsWithIgnoringCase(entry.name, *filter.name_prefix);
}

// A text for a TAB-separated line: control characters (only a hand-edited row has them)
// become '?'.
void AppendPrintable(std::string& out, std::string_view text) {
    for (char c : text) out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
}

std::string FormatTime(std::int64_t unix_time) {
    if (unix_time <= 0) return {};
    const auto time = static_cast<std::time_t>(unix_time);
    std::tm local{};
    localtime_r(&time, &local);
    char text[32];
    return std::string(text, std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local));
}

void AppendEntryLine(std::string& out, std::int64_t place, const RankedEntry& entry) {
    out += std::to_string(entry.id) + '\t' + std::to_string(place) + '\t' + std::to_string(entry.points) + '\t';
    AppendPrintable(out, Cp1252ToUtf8(entry.name));
    out += '\t';
    AppendPrintable(out, Cp1252ToUtf8(entry.date));
    out += '\t' + FormatTime(entry.stored_at) + '\n';
}

// One page of the listed entries: from the filter's cursor on, within its places.
std::string ListListedEntries(const ScoreBoard& board, const EntryFilter& filter) {
    std::string lines;
    std::optional<RankKey> next;
    board.ReadRanking([&](const RankedView& view) {
        std::int64_t first = filter.places.first;
        if (filter.after) {
            // The key right after the cursor's: the next id at the same points.
            const std::int64_t id = filter.after->id;
            first = std::max(first, view.PlaceOf(filter.after->points,
                                                 id < std::numeric_limits<std::int64_t>::max() ? id + 1 : id));
        }
        std::size_t looked = 0;
        std::size_t listed = 0;
        view.VisitFrom(first, [&](std::int64_t place, const RankedEntry& entry) {
            if (place > filter.places.last) return false;
            if (Matches(filter, place, entry)) {
                AppendEntryLine(lines, place, entry);
                ++listed;
            }
            if (++looked < PageLooks && listed < PageEntries) return true;
            next = RankKey{entry.points, entry.id};
            return false;
        });
    });
    const std::string head =
        next ? "next " + std::to_string(next->points) + ":" + std::to_string(next->id) + "\n" : std::string("end\n");
    return head + lines;
}

// The removed entries are few: one page.
std::string ListRemovedEntries(const ListModeration& board, const EntryFilter& filter) {
    std::string lines = "end\n";
    board.VisitRemovedEntries([&](std::int64_t place, const RankedEntry& entry) {
        if (Matches(filter, place, entry)) AppendEntryLine(lines, place, entry);
        return true;
    });
    return lines;
}

// The reason as one line: control characters become spaces.
std::string CleanReason(std::string_view body) {
    std::string reason;
    for (char c : body) reason += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
    const std::size_t first = reason.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return reason.substr(first, reason.find_last_not_of(' ') - first + 1);
}

}  // namespace

AdminService::AdminService(const ScoreBoard& board, ListModeration& moderation, const ListBackups& backups)
    : board_(board), moderation_(moderation), started_(std::chrono::steady_clock::now()) {
    BackupOffer offer = backups.OfferBackups();
    if (offer.file.empty()) {
        backup_advice_ = std::move(offer.refusal);
    } else {
        backups_ = std::make_unique<BackupCopies>(backups, std::move(offer.file));
    }
}

Reply AdminService::Answer(const Request& request) {
    Reply reply = Route(request);
    if (reply.content_type == Reply().content_type) reply.content_type = "text/plain; charset=utf-8";
    return reply;
}

Reply AdminService::Route(const Request& request) {
    const RequestTarget target = SplitTarget(request.target);
    const std::optional<QueryParameters> parameters = ParseQuery(target.query);
    if (!parameters) return RefuseRequest(400, "malformed percent escape in query");
    const std::string_view method = request.method;
    const std::string backup_prefix = std::string(admin::BackupPath) + "/";
    try {
        if (target.path == admin::EntriesPath) return method == "GET" ? AnswerEntries(*parameters) : RefuseMethod("GET");
        if (target.path == admin::RemovePath || target.path == admin::RestorePath) {
            if (method != "POST") return RefuseMethod("POST");
            return AnswerModeration(target.path == admin::RemovePath, *parameters);
        }
        if (target.path == admin::LogPath) return method == "GET" ? AnswerLog() : RefuseMethod("GET");
        if (target.path == admin::StatsPath) return method == "GET" ? AnswerStats() : RefuseMethod("GET");
        if (target.path == admin::BackupPath) return method == "POST" ? AnswerBackup(method, {}, *parameters) : RefuseMethod("POST");
        if (target.path.starts_with(backup_prefix)) {
            if (method != "GET" && method != "DELETE") return RefuseMethod("GET, DELETE");
            return AnswerBackup(method, target.path.substr(backup_prefix.size()), *parameters);
        }
    } catch (const StorageError& error) {
        return RefuseRequest(503, error.what());
    }
    return RefuseRequest(404, "not found");
}

Reply AdminService::AnswerEntries(const QueryParameters& parameters) {
    const ParsedFilter parsed = ParseEntryFilter(parameters);
    if (!parsed.problem.empty()) return RefuseRequest(400, parsed.problem);
    if (!parsed.filter) return {200, "end\n", {}};
    const EntryFilter& filter = *parsed.filter;
    return {200, filter.removed ? ListRemovedEntries(moderation_, filter) : ListListedEntries(board_, filter), {}};
}

Reply AdminService::AnswerModeration(bool remove, const QueryParameters& parameters) {
    std::string problem = FindUnknownParameter(parameters, remove ? std::initializer_list<std::string_view>{"ids", "reason"}
                                                                   : std::initializer_list<std::string_view>{"ids"});
    const std::string reason = OptionalValue(parameters, "reason", problem).value_or("");
    const SingleValue ids_text = FindSingleValue(parameters, "ids");
    if (!ids_text.value) problem = ids_text.problem;
    const auto ids = admin::ParseEntryIds(ids_text.value.value_or(""));
    if (ids_text.value && !ids) problem = "ids must be entry ids from 1 on, separated by commas";
    if (reason.size() > MaxReasonBytes) problem = "the reason is longer than " + std::to_string(MaxReasonBytes) + " bytes";
    if (!problem.empty()) return RefuseRequest(400, problem);
    const ModerationOutcome outcome = remove ? moderation_.RemoveEntries(*ids, CleanReason(reason)) : moderation_.RestoreEntries(*ids);
    if (!outcome.unknown.empty()) {
        const bool one = outcome.unknown.size() == 1;
        return RefuseRequest(404, (one ? "no entry has the id " : "no entries have the ids ") + JoinIds(outcome.unknown, ", ") +
                                      "; nothing was changed");
    }
    std::string notes;
    for (std::int64_t id : outcome.unchanged) {
        notes += "entry " + std::to_string(id) + (remove ? " is removed already\n" : " is not removed\n");
    }
    return {200, notes, {}};
}

Reply AdminService::AnswerLog() {
    std::string lines;
    for (const ModerationRecord& record : moderation_.ReadModerationLog()) {
        lines += FormatTime(record.at) + '\t' + record.action + '\t' + record.ids + '\t';
        AppendPrintable(lines, record.reason);
        lines += '\n';
    }
    return {200, lines, {}};
}

Reply AdminService::AnswerStats() {
    const std::int64_t now = std::time(nullptr);
    const BoardFigures figures = moderation_.ReadFigures(now);
    const auto uptime =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started_).count();
    const std::pair<const char*, std::int64_t> lines[] = {
        {"entries listed", figures.listed},
        {"entries removed", figures.removed},
        {"database bytes", figures.database_bytes},
        {"uptime seconds", uptime},
        {"stored in the last hour", figures.stored_last_hour},
        {"stored in the last day", figures.stored_last_day},
    };
    std::string body;
    for (const auto& [label, value] : lines) body += std::string(label) + '\t' + std::to_string(value) + '\n';
    return {200, body, {}};
}

Reply AdminService::AnswerBackup(std::string_view method, std::string_view token, const QueryParameters& parameters) {
    if (!backups_) return RefuseRequest(501, backup_advice_);
    if (method == "POST") {
        const BackupCopies::Started started = backups_->Start();
        return {200, started.token + ' ' + std::to_string(started.size) + '\n', {}};
    }
    const std::string key(token);
    if (method == "DELETE") return backups_->Drop(key) ? Reply{200, "", {}} : RefuseRequest(404, "no such backup");
    const SingleValue offset_text = FindSingleValue(parameters, "offset");
    if (!offset_text.value) return RefuseRequest(400, offset_text.problem);
    const auto offset = admin::ParseByteOffset(*offset_text.value);
    if (!offset) return RefuseRequest(400, "offset must be a whole number from 0 on");
    std::optional<std::string> bytes = backups_->Read(key, *offset, admin::BackupChunkBytes);
    if (!bytes) return RefuseRequest(404, "no such backup");
    Reply piece{200, std::move(*bytes), {}};
    piece.content_type = "application/octet-stream";
    return piece;
}

}  // namespace zorblet::server
