#pragma once
// The game's side of the highscore service: the transfers run one at a time on a worker
// of their own and publish into the board; the frame reads the board's copy. A
// submission that could not be delivered is kept and sent again a few times: a score in
// memory, a played game's record on disk too, until its ticket expires. A ticket for the
// next game is asked for in the background and waits at hand for the frame.

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "highscore/board.h"
#include "highscore/fetch_url.h"
#include "highscore/record_outbox.h"
#include "highscore/service_api.h"
#include "highscore/transfer_worker.h"
#include "platform/clock.h"
#include "platform/folder.h"
#include "platform/http_transport.h"
#include "record/game_record.h"

namespace zorblet::highscore {

// When a kept submission is sent again, counted from its first attempt. All of them lie
// within the minute in which the service stores a repeated submission only once.
inline constexpr std::array<std::chrono::milliseconds, 4> SubmissionResends = {
    std::chrono::seconds(5), std::chrono::seconds(15), std::chrono::seconds(30), std::chrono::seconds(45)};

// A ticket is taken for a game only while this much of its life is left: the longest game
// a record holds, so that the record of any game played on it arrives in time.
inline constexpr std::chrono::hours TicketLifeForAGame{3};

// What the service's answer to a submission means for it.
enum class SubmissionFate {
    Delivered,  // 2xx
    Refused,    // 4xx other than 429, or an answer a resend cannot change: never sent again
    SendAgain,  // no connection, out of time, 429 or 5xx
};
SubmissionFate FateOf(const FetchResult& result);

// What the service's answer to a record means for it.
enum class RecordFate {
    Stored,     // 2xx with the entry it made (or made when the record first came)
    Refused,    // 4xx: the record does not count, and sending it again changes nothing
    NoApi,      // 404 or 405: a service older than records, which takes the seed's request
    SendAgain,  // no connection, out of time, 408, 429, 5xx, or a 2xx that is no such answer
};
RecordFate RecordFateOf(const FetchResult& result);

// A game played on a ticket, whose record goes to the list instead of the seed's request.
struct PlayedGame {
    std::shared_ptr<const record::GameRecord> Record;
    WallTime TicketExpires;
};

class HighscoreClient {
public:
    using WallClock = std::function<WallTime()>;

    // server is the service's base address; a missing final "/" is added. The clock times
    // the transfers and the resends, on the worker's thread too; now tells the time of day
    // that tickets expire by. Records waiting to be sent are kept in outbox (none: in
    // memory only).
    HighscoreClient(platform::HttpTransport& http, platform::Clock& clock, std::string server,
                    platform::Folder* outbox = nullptr, WallClock now = std::chrono::system_clock::now);
    // Cuts a running transfer short (its transport is cancelled) and stops the worker;
    // what was still to be sent is dropped (a record stays in the outbox).
    ~HighscoreClient();
    HighscoreClient(const HighscoreClient&) = delete;
    HighscoreClient& operator=(const HighscoreClient&) = delete;

    const std::string& Server() const { return server_; }

    // The rows around a score and its place (FetchList). The status line tells of a
    // running transfer from this call on.
    void FetchList(std::int32_t points);
    // Sends a submission, then fetches the best-of table anew.
    void SubmitThenRefresh(std::string submitUrl);
    // Sends a game played on a ticket as its record under the name (Windows-1252), or,
    // when the service has no API for records, the seed's request submitUrl; then fetches
    // the best-of table anew.
    void SubmitThenRefresh(std::string submitUrl, PlayedGame game, std::string nameCp1252);
    // Sends what the outbox kept from earlier runs, in the order the games were played.
    void SendKeptRecords();
    // Fetches the best-of table anew.
    void RefreshBestOf();
    // Empties rows first to last.
    void ForgetRows(std::int32_t first, std::int32_t last) { board_.ClearRows(first, last); }

    // Asks the service for a ticket in the background, unless one is at hand or asked for.
    void RequestTicket();
    // The ticket at hand, for one game, if it still lives long enough; the next one is
    // asked for. Never waits for the network.
    std::optional<Ticket> TakeTicket();

    // True while a transfer is due or runs.
    bool Busy() { return worker_.Busy(); }
    // Brings the frame's view up to date; never waits for the network.
    void Refresh(BoardView& view) { board_.Refresh(view); }

private:
    struct KeptSubmission {
        std::string Url;                   // the seed's request
        std::optional<KeptRecord> Record;  // sent instead, as long as the service takes records
        int Attempts = 0;
        std::uint64_t FirstAttempt = 0;  // the clock's counter
    };

    // Fetches url; a failure is recorded for the status line and gives no body.
    std::optional<std::string> Fetch(const std::string& url);
    void FetchBestOf();
    // Queues the submission behind any still kept and sends what is due, in order.
    void Submit(KeptSubmission submission);
    // A game's record as a submission: encoded, and kept on disk before it is sent.
    KeptSubmission RecordSubmission(std::string submitUrl, const PlayedGame& game, std::string nameCp1252);
    // Sends the kept submissions in order while they are due; true when one was delivered.
    bool SendDueSubmissions();
    // One attempt at the first kept submission; false when it has to wait for a resend.
    bool SendFirstKept(bool& delivered);
    // One attempt at a record; what the answer means for it.
    RecordFate SendRecord(KeptSubmission& submission);
    // After an attempt that did not deliver: the resend planned, or the submission given up
    // for this run. False when it waits for a resend.
    bool PlanResend(KeptSubmission& submission);
    void ResendKept();
    // Records given up for this run go first again, when another submission comes.
    void RequeueParkedRecords();
    void PublishKept();

    // The worker's side of tickets.
    void FetchTicket();
    void DropTicketIfStale(const std::string& text);
    bool LivesForAGame(const Ticket& ticket) { return ticket.Expires - now_() >= TicketLifeForAGame; }

    platform::HttpTransport& http_;
    platform::Clock& clock_;
    std::string server_;
    WallClock now_;
    RecordOutbox outbox_;                 // the worker's alone
    std::deque<KeptSubmission> kept_;     // the worker's alone; gone when the program ends
    std::vector<KeptSubmission> parked_;  // the worker's alone: records waiting for another chance
    RowsUpdate lastBestOf_;               // the worker's alone: the last best-of table received
    Board board_;
    std::mutex ticketMutex_;  // held only to hand a ticket over
    std::optional<Ticket> ticket_;
    bool ticketAsked_ = false;
    TransferWorker worker_;  // last: it stops before what its jobs use goes away
};

// The base address as the requests need it: ending in "/".
std::string WithFinalSlash(std::string server);

}  // namespace zorblet::highscore
