#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "protocol/clock.h"
#include "protocol/outcome.h"
#include "protocol/replay_pool.h"
#include "protocol/submit_guard.h"
#include "store/score_board.h"
#include "store/submit_gate.h"
#include "ticket/game_ticket.h"

namespace zorblet::server {

class RefusedNames;

// What became of one recorded game sent in, for the metrics and the reply.
enum class GameOutcome {
    Verified,         // replayed to its score and stored (or a repeat of, or a resend of, what was)
    ReplayMismatch,   // the replay gives other points than the record claims
    TicketInvalid,    // no ticket of this key, or one for another seed
    TicketExpired,    // a ticket of this key, too old
    TicketReused,     // a ticket another record used before
    RecordMalformed,  // no record, one of other rules, or one whose course its replay does not follow
    NameInvalid,      // no name, or one that is not 1 to 24 characters of Windows-1252
    NameRefused,      // a name the refused-names list refuses
    RateLimited,      // the address's allowance is used up
    Busy,             // the replays' queue is full
    StorageFault,     // the list cannot store right now
};

// The answer to a recorded game: on success the entry it stands for; otherwise a short
// English code ("ticket-expired", ...) and a German sentence the game shows (UTF-8, only
// characters Windows-1252 has).
struct GameAnswer {
    GameOutcome outcome = GameOutcome::Verified;
    bool resent = false;  // the same record arrived before: the entry is the one it stored
    std::int64_t id = 0;
    std::int64_t place = 0;
    std::int32_t points = 0;
    std::string error;
    std::string text;
};

// A ticket handed out: its text, seed and expiry (Unix time); or, when `issued` is false,
// the allowance was used up.
struct IssuedTicket {
    bool issued = false;
    std::string text;
    std::uint32_t seed = 0;
    std::int64_t expires = 0;
};

struct GameSubmissionSettings {
    const RefusedNames* refused_names = nullptr;
    // Tickets an address may ask for per minute; 0: no limit.
    int tickets_per_minute = 0;
    // Threads that replay games, and games that may wait for one.
    std::size_t replay_threads = 1;
    std::size_t replay_queue = 64;
    // Told every game's outcome in the metrics' terms, and each replay's duration.
    std::function<void(SubmissionOutcome)> report_outcome = nullptr;
    std::function<void(std::chrono::nanoseconds)> report_replay = nullptr;
};

// The recorded games' exchange: tickets signed with the service's key, and games played on
// them, each checked and replayed on the pool before it is stored verified. Nothing is
// stored on any refusal; a ticket stands for one game only, and a resent record is
// answered with the entry it stored the first time.
class GameSubmissions {
public:
    using Done = std::function<void(GameAnswer)>;

    GameSubmissions(ScoreBoard& board, SubmitGate& gate, TicketKey key, const ProtocolClock& clock,
                    GameSubmissionSettings settings);

    // A new ticket for `client`, within its own allowance.
    IssuedTicket IssueTicket(const std::string& client);
    // Takes a game for `name` (percent-decoded UTF-8) from `client`: answers at once and
    // returns the answer when it is refused before its replay; otherwise queues the replay
    // and returns nullopt, and `done` is called once with the answer, from the pool.
    std::optional<GameAnswer> Submit(std::string_view name, std::span<const std::uint8_t> record,
                                     const std::string& client, Done done);
    // Checks and stores one game on the calling thread: what a pool's job runs.
    GameAnswer CheckAndStore(const std::string& name, std::span<const std::uint8_t> record, const std::string& client);
    // The record kept of the entry `id`.
    std::optional<std::string> ReadKeptGame(std::int64_t id) const { return board_.ReadKeptGame(id); }
    // Games waiting for a replay now.
    std::size_t CountWaiting() const { return pool_.Waiting(); }

private:
    GameAnswer Refuse(GameOutcome outcome) const;
    GameAnswer Answer(const StoredGame& stored, std::int32_t points, bool resent) const;
    void Report(GameOutcome outcome) const;

    ScoreBoard& board_;
    SubmitGate& gate_;
    const TicketKey key_;
    const ProtocolClock& clock_;
    const GameSubmissionSettings settings_;
    SubmitGuard ticket_allowance_;
    // Last, so that it is stopped first: its threads finish their games while all else
    // is still there.
    ReplayPool pool_;
};

// The code and the German sentence of a refusal.
std::string_view GameOutcomeCode(GameOutcome outcome);
std::string_view GameOutcomeText(GameOutcome outcome);

}  // namespace zorblet::server
