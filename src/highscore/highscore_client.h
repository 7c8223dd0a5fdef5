#pragma once
// The game's side of the highscore service: the transfers run one at a time on a worker
// of their own and publish into the board; the frame reads the board's copy. A
// submission that could not be delivered is kept in memory and sent again a few times.

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "highscore/board.h"
#include "highscore/fetch_url.h"
#include "highscore/transfer_worker.h"
#include "platform/clock.h"
#include "platform/http_transport.h"

namespace zorblet::highscore {

// When a kept submission is sent again, counted from its first attempt. All of them lie
// within the minute in which the service stores a repeated submission only once.
inline constexpr std::array<std::chrono::milliseconds, 4> SubmissionResends = {
    std::chrono::seconds(5), std::chrono::seconds(15), std::chrono::seconds(30), std::chrono::seconds(45)};

// What the service's answer to a submission means for it.
enum class SubmissionFate {
    Delivered,  // 2xx
    Refused,    // 4xx other than 429, or an answer a resend cannot change: never sent again
    SendAgain,  // no connection, out of time, 429 or 5xx
};
SubmissionFate FateOf(const FetchResult& result);

class HighscoreClient {
public:
    // server is the service's base address; a missing final "/" is added.
    // The clock times the transfers and the resends, on the worker's thread too.
    HighscoreClient(platform::HttpTransport& http, platform::Clock& clock, std::string server);
    // Cuts a running transfer short (its transport is cancelled) and stops the worker;
    // what was still to be sent is dropped.
    ~HighscoreClient();
    HighscoreClient(const HighscoreClient&) = delete;
    HighscoreClient& operator=(const HighscoreClient&) = delete;

    const std::string& Server() const { return server_; }

    // The rows around a score and its place (FetchList). The status line tells of a
    // running transfer from this call on.
    void FetchList(std::int32_t points);
    // Sends a submission, then fetches the best-of table anew.
    void SubmitThenRefresh(std::string submitUrl);
    // Fetches the best-of table anew.
    void RefreshBestOf();
    // Empties rows first to last.
    void ForgetRows(std::int32_t first, std::int32_t last) { board_.ClearRows(first, last); }

    // True while a transfer is due or runs.
    bool Busy() { return worker_.Busy(); }
    // Brings the frame's view up to date; never waits for the network.
    void Refresh(BoardView& view) { board_.Refresh(view); }

private:
    struct KeptSubmission {
        std::string Url;
        int Attempts = 0;
        std::uint64_t FirstAttempt = 0;  // the clock's counter
    };

    // Fetches url; a failure is recorded for the status line and gives no body.
    std::optional<std::string> Fetch(const std::string& url);
    void FetchBestOf();
    // Queues the submission behind any still kept and sends what is due, in order.
    void Submit(std::string url);
    // Sends the kept submissions in order while they are due; true when one was delivered.
    bool SendDueSubmissions();
    // One attempt at the first kept submission; false when it has to wait for a resend.
    bool SendFirstKept(bool& delivered);
    void ResendKept();

    platform::HttpTransport& http_;
    platform::Clock& clock_;
    std::string server_;
    std::deque<KeptSubmission> kept_;  // the worker's alone; gone when the program ends
    RowsUpdate lastBestOf_;            // the worker's alone: the last best-of table received
    Board board_;
    TransferWorker worker_;  // last: it stops before what its jobs use goes away
};

// The base address as the requests need it: ending in "/".
std::string WithFinalSlash(std::string server);

}  // namespace zorblet::highscore
