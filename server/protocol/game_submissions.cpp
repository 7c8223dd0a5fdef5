#include "protocol/game_submissions.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

#include "highscore/local_date.h"
#include "platform/cp1252.h"
#include "protocol/refused_names.h"
#include "protocol/submission.h"
#include "record/record_format.h"
#include "replay/record_player.h"

namespace zorblet::server {

namespace {

struct OutcomeWords {
    std::string_view code;
    std::string_view text;
    SubmissionOutcome counted;
};

// In GameOutcome's order. The texts keep to characters Windows-1252 has: the game shows
// them in it.
constexpr OutcomeWords Words[] = {
    {"", "", SubmissionOutcome::Verified},
    {"replay-mismatch", "Die Wiederholung des Spiels ergibt eine andere Punktzahl.", SubmissionOutcome::ReplayMismatch},
    {"ticket-invalid", "Das Ticket des Spiels ist ungültig.", SubmissionOutcome::TicketInvalid},
    {"ticket-expired", "Das Ticket des Spiels ist abgelaufen.", SubmissionOutcome::TicketExpired},
    {"ticket-reused", "Mit diesem Ticket wurde schon ein anderes Spiel eingereicht.", SubmissionOutcome::TicketReused},
    {"record-malformed", "Die Aufzeichnung des Spiels ist beschädigt oder unvollständig.",
     SubmissionOutcome::RecordMalformed},
    {"name-invalid", "Der Name muss 1 bis 24 Zeichen lang sein.", SubmissionOutcome::Malformed},
    {"name-refused", "Dieser Name wird nicht angenommen.", SubmissionOutcome::RefusedName},
    {"rate-limited", "Zu viele Einsendungen von dieser Adresse, bitte später erneut versuchen.",
     SubmissionOutcome::RateLimited},
    {"busy", "Der Dienst ist gerade ausgelastet, bitte später erneut senden.", SubmissionOutcome::QueueFull},
    {"storage-fault", "Die Bestenliste kann gerade nichts speichern.", SubmissionOutcome::StorageError},
};

const OutcomeWords& WordsOf(GameOutcome outcome) {
    return Words[static_cast<std::size_t>(outcome)];
}

std::int64_t UnixTime(std::chrono::system_clock::time_point moment) {
    return std::chrono::duration_cast<std::chrono::seconds>(moment.time_since_epoch()).count();
}

// The name as the list stores it, in Windows-1252; nullopt when it cannot be one.
std::optional<std::string> ListName(std::string_view utf8) {
    std::optional<std::string> name = platform::Utf8ToCp1252(utf8);
    if (!name || !FindNameProblem(*name).empty()) return std::nullopt;
    return name;
}

}  // namespace

std::string_view GameOutcomeCode(GameOutcome outcome) {
    return WordsOf(outcome).code;
}

std::string_view GameOutcomeText(GameOutcome outcome) {
    return WordsOf(outcome).text;
}

GameSubmissions::GameSubmissions(ScoreBoard& board, SubmitGate& gate, TicketKey key, const ProtocolClock& clock,
                                 GameSubmissionSettings settings)
    : board_(board),
      gate_(gate),
      key_(std::move(key)),
      clock_(clock),
      settings_(std::move(settings)),
      ticket_allowance_(settings_.tickets_per_minute),
      pool_(settings_.replay_threads, settings_.replay_queue) {}

// Issuing stores nothing: the ticket carries all that its check needs, signed.
IssuedTicket GameSubmissions::IssueTicket(const std::string& client) {
    if (!ticket_allowance_.TakeAllowance(client, clock_.Steady())) return {};
    const GameTicket ticket = zorblet::server::IssueTicket(UnixTime(clock_.Wall()));
    return {true, key_.Sign(ticket), ticket.seed, ticket.expires};
}

void GameSubmissions::Report(GameOutcome outcome) const {
    if (settings_.report_outcome) settings_.report_outcome(WordsOf(outcome).counted);
}

GameAnswer GameSubmissions::Refuse(GameOutcome outcome) const {
    Report(outcome);
    return {outcome, false, 0, 0, 0, std::string(GameOutcomeCode(outcome)), std::string(GameOutcomeText(outcome))};
}

// Every attempt takes one of the address's allowance, as the seed's request does, before
// anything else is looked at; the name is checked before the game waits for a replay.
std::optional<GameAnswer> GameSubmissions::Submit(std::string_view name, std::span<const std::uint8_t> record,
                                                  const std::string& client, Done done) {
    try {
        if (!gate_.TakeAllowance(client)) return Refuse(GameOutcome::RateLimited);
    } catch (const StorageError& error) {
        std::fprintf(stderr, "zorblet-highscore-server: storing a game failed: %s\n", error.what());
        return Refuse(GameOutcome::StorageFault);
    }
    const std::optional<std::string> list_name = ListName(name);
    if (!list_name) return Refuse(GameOutcome::NameInvalid);
    if (settings_.refused_names != nullptr && settings_.refused_names->Refuses(*list_name)) {
        return Refuse(GameOutcome::NameRefused);
    }
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(record.begin(), record.end());
    const bool queued = pool_.Post([this, bytes, name = std::string(name), client, done = std::move(done)](
                                       ReplayPool::Clock::duration, bool stopping) {
        done(stopping ? Refuse(GameOutcome::Busy) : CheckAndStore(name, *bytes, client));
    });
    if (!queued) return Refuse(GameOutcome::Busy);
    return std::nullopt;
}

GameAnswer GameSubmissions::Answer(const StoredGame& stored, std::int32_t points, bool resent) const {
    GameAnswer answer{GameOutcome::Verified, resent, stored.id, 0, points, {}, {}};
    board_.ReadRanking([&](const RankedView& view) { answer.place = view.PlaceOf(points, stored.id); });
    Report(GameOutcome::Verified);
    return answer;
}

// The cheap checks first (the record reads, its ticket is this key's, lately issued, for
// this seed, and not used by another record), so that only a game that could count is
// replayed; a record that arrived before is answered from what it stored, unreplayed.
GameAnswer GameSubmissions::CheckAndStore(const std::string& name, std::span<const std::uint8_t> bytes,
                                          const std::string& client) {
    const record::DecodeResult decoded = record::DecodeRecord(bytes);
    if (!decoded.Record) return Refuse(GameOutcome::RecordMalformed);
    const record::GameRecord& game = *decoded.Record;
    const std::string_view ticket_text(reinterpret_cast<const char*>(game.Ticket.data()), game.Ticket.size());
    const TicketReading reading = key_.Read(ticket_text);
    if (!reading.ticket || reading.ticket->seed != game.Seed) return Refuse(GameOutcome::TicketInvalid);
    if (UnixTime(clock_.Wall()) >= reading.ticket->expires) return Refuse(GameOutcome::TicketExpired);
    const std::string ticket_id = reading.ticket->IdText();
    const std::string digest = DigestText(bytes);
    try {
        if (const std::optional<UsedTicket> used = gate_.FindUsedTicket(ticket_id)) {
            if (used->digest != digest) return Refuse(GameOutcome::TicketReused);
            const std::optional<ScoreEntry> entry = board_.ReadEntry(used->entry_id);
            return Answer({GameStoreResult::Resent, used->entry_id}, entry ? entry->points : game.Score, true);
        }
        if (replay::CheckRules(game) != replay::RulesProblem::None) return Refuse(GameOutcome::RecordMalformed);
        const auto started = std::chrono::steady_clock::now();
        const replay::ReplayedGame replayed = replay::ReplayGame(game, true);
        if (settings_.report_replay) settings_.report_replay(std::chrono::steady_clock::now() - started);
        if (replayed.Course != replay::CourseProblem::None) return Refuse(GameOutcome::RecordMalformed);
        if (replayed.Score != game.Score) return Refuse(GameOutcome::ReplayMismatch);
        const std::time_t now = std::chrono::system_clock::to_time_t(clock_.Wall());
        const VerifiedGame verified{{game.Score, *ListName(name), highscore::FormatLocalDate(now), true},
                                    std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                                    {ticket_id, digest, 0, reading.ticket->expires}};
        const StoredGame stored = gate_.SubmitGame(client, verified);
        if (stored.result == GameStoreResult::TicketUsed) return Refuse(GameOutcome::TicketReused);
        return Answer(stored, game.Score, stored.result == GameStoreResult::Resent);
    } catch (const StorageError& error) {
        std::fprintf(stderr, "zorblet-highscore-server: storing a game failed: %s\n", error.what());
        return Refuse(GameOutcome::StorageFault);
    }
}

}  // namespace zorblet::server
