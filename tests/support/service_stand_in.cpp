#include "support/service_stand_in.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <span>

#include "highscore/url_encoding.h"
#include "platform/cp1252.h"
#include "record/record_format.h"
#include "replay/record_player.h"

namespace zorblet::testing {

namespace {

std::string JsonText(const std::string& utf8) {
    std::string json = "\"";
    for (char c : utf8) {
        if (c == '"' || c == '\\') json += '\\';
        json += c;
    }
    return json + "\"";
}

std::string Refusal(const std::string& error, const std::string& text) {
    return "{\"error\": " + JsonText(error) + ", \"text\": " + JsonText(text) + "}";
}

// The value of a query parameter, percent-decoded; nothing without it.
std::optional<std::string> Parameter(const std::string& target, const std::string& name) {
    const std::size_t query = target.find('?');
    if (query == std::string::npos) return std::nullopt;
    const std::string search = "&" + target.substr(query + 1);
    const std::size_t at = search.find("&" + name + "=");
    if (at == std::string::npos) return std::nullopt;
    const std::size_t start = at + name.size() + 2;
    return highscore::PercentDecode(search.substr(start, search.find('&', start) - start));
}

std::string IsoTime(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return stamp;
}

std::string Path(const std::string& target) {
    return target.substr(0, target.find('?'));
}

// A whole number, or 0 for anything else.
std::int64_t Number(const std::string& text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

}  // namespace

ServiceStandIn::ServiceStandIn(Options options)
    : options_(options), server_(ServerMode{Listening::Open, [this](FixtureConnection& c) { Answer(c); }}) {}

void ServiceStandIn::AddEntry(StandInEntry entry) {
    std::lock_guard lock(mutex_);
    entry.Id = nextId_++;
    entries_.push_back(std::move(entry));
}

std::vector<StandInEntry> ServiceStandIn::Entries() {
    std::lock_guard lock(mutex_);
    std::vector<StandInEntry> ranked = entries_;
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const StandInEntry& a, const StandInEntry& b) { return a.Points > b.Points; });
    return ranked;
}

std::optional<StandInEntry> ServiceStandIn::EntryAt(std::int64_t place) {
    const std::vector<StandInEntry> ranked = Entries();
    if (place < 1 || place > static_cast<std::int64_t>(ranked.size())) return std::nullopt;
    return ranked[static_cast<std::size_t>(place - 1)];
}

std::string ServiceStandIn::IssueTicket() {
    std::lock_guard lock(mutex_);
    const std::uint32_t seed = options_.FirstSeed + static_cast<std::uint32_t>(issued_.size());
    const std::string ticket = "standin." + std::to_string(issued_.size() + 1) + "." + std::to_string(seed);
    issued_.push_back(ticket);
    return "{\"ticket\": " + JsonText(ticket) + ", \"seed\": " + std::to_string(seed) + ", \"expires\": \"" +
           IsoTime(std::chrono::system_clock::now() + options_.TicketLife) + "\"}";
}

// A record arrives: refused as the service refuses one, stored verified, or answered with
// the entry it made the first time.
std::string ServiceStandIn::AnswerRecord(const std::string& target, const std::string& body, int& status) {
    status = 400;
    const std::optional<std::string> name = Parameter(target, "name");
    if (!name || name->empty()) return Refusal("name_missing", "Der Name fehlt.");
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(body.data());
    const replay::RecordVerdict verdict = replay::VerifyRecord(std::span(bytes, body.size()));
    if (!verdict.Record) return Refusal("record_malformed", "Die Aufzeichnung ist besch\xC3\xA4" "digt.");
    const std::string ticket(verdict.Record->Ticket.begin(), verdict.Record->Ticket.end());
    std::lock_guard lock(mutex_);
    const auto issued = std::find(issued_.begin(), issued_.end(), ticket);
    status = 403;
    if (issued == issued_.end() || !ticket.ends_with("." + std::to_string(verdict.Record->Seed))) {
        return Refusal("ticket_invalid", "Das Ticket stammt nicht von dieser Liste.");
    }
    for (const StandInEntry& entry : entries_) {
        if (entry.Ticket != ticket) continue;
        if (entry.Record != body) {
            status = 409;
            return Refusal("ticket_reused", "Mit diesem Ticket wurde schon eine Partie gemeldet.");
        }
        status = 200;
        std::int64_t place = 1;
        for (const StandInEntry& other : entries_) place += other.Points > entry.Points;
        return "{\"id\": " + std::to_string(entry.Id) + ", \"place\": " + std::to_string(place) +
               ", \"points\": " + std::to_string(entry.Points) + ", \"verified\": true}";
    }
    status = 422;
    if (!verdict.ScoreMatches()) {
        return Refusal("replay_mismatch", "Die Partie ergibt nachgerechnet andere Punkte.");
    }
    const StandInEntry entry{nextId_++, verdict.Record->Score, *name, true, body, ticket};
    std::int64_t place = 1;
    for (const StandInEntry& other : entries_) place += other.Points >= entry.Points;
    entries_.push_back(entry);
    status = 201;
    return "{\"id\": " + std::to_string(entry.Id) + ", \"place\": " + std::to_string(place) +
           ", \"points\": " + std::to_string(entry.Points) + ", \"verified\": true}";
}

void ServiceStandIn::Answer(FixtureConnection& connection) {
    const std::string target = connection.Target();
    const std::string path = Path(target);
    const bool post = connection.Method() == "POST";
    const std::string json = "Content-Type: application/json\r\n";
    if (path == "/HighScoreSQL.php" && !post) {
        const auto points = Parameter(target, "Punkte");
        const auto name = Parameter(target, "Name");
        if (!points || !name) return void(connection.Send(HttpReply(400, "bad request\r\n")));
        AddEntry({0, static_cast<std::int32_t>(Number(*points)), platform::Cp1252ToUtf8(*name), false, {}, {}});
        return void(connection.Send(HttpReply(200, "")));
    }
    if (path == "/BestOffSQL.php" || path == "/ListeSQL.php") {
        const std::vector<StandInEntry> ranked = Entries();
        std::string reply = std::to_string(path == "/ListeSQL.php" ? 1 : ranked.size()) + "\r\n";
        for (const StandInEntry& entry : ranked) {
            reply += std::to_string(entry.Points) + "\t" + platform::Utf8ToCp1252(entry.Name).value_or("?") +
                     "\t11.12.26\r\n";
        }
        return void(connection.Send(HttpReply(200, reply)));
    }
    if (!options_.Api && path.starts_with("/api/v1/games")) return void(connection.Send(HttpReply(404, "")));
    if (post && path == "/api/v1/games/new") return void(connection.Send(HttpReply(200, IssueTicket(), json)));
    if (post && path == "/api/v1/games") {
        int status = 0;
        const std::string answer = AnswerRecord(target, connection.RequestBody(), status);
        return void(connection.Send(HttpReply(status, answer, json)));
    }
    if (!post && path == "/api/v1/scores") {
        const std::int64_t from = Number(Parameter(target, "from").value_or("1"));
        const std::optional<StandInEntry> entry = EntryAt(from);
        std::string answer = "{\"total\": " + std::to_string(Entries().size()) + ", \"entries\": [";
        if (entry) {
            answer += "{\"place\": " + std::to_string(from) + ", \"points\": " + std::to_string(entry->Points) +
                      ", \"name\": " + JsonText(entry->Name) + ", \"date\": \"2026-12-11\"";
            if (options_.Api) {
                answer += ", \"id\": " + std::to_string(entry->Id) +
                          ", \"verified\": " + (entry->Verified ? "true" : "false");
            }
            answer += "}";
        }
        return void(connection.Send(HttpReply(200, answer + "]}", json)));
    }
    if (!post && path.starts_with("/api/v1/games/")) {
        const std::int64_t id = Number(path.substr(14));
        for (const StandInEntry& entry : Entries()) {
            if (entry.Id == id && !entry.Record.empty()) {
                return void(connection.Send(HttpReply(200, entry.Record, "Content-Type: application/octet-stream\r\n")));
            }
        }
    }
    connection.Send(HttpReply(404, "{\"error\": \"not found\"}", json));
}

}  // namespace zorblet::testing
