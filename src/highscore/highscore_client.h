#pragma once
// The game's side of the highscore service: the transfers run one at a time on a worker
// of their own and publish into the board; the frame reads the board's copy.

#include <cstdint>
#include <string>

#include "highscore/board.h"
#include "highscore/transfer_worker.h"
#include "platform/clock.h"
#include "platform/http_transport.h"

namespace zorblet::highscore {

class HighscoreClient {
public:
    // server is the service's base address; a missing final "/" is added.
    HighscoreClient(platform::HttpTransport& http, platform::Clock& clock, std::string server);

    const std::string& Server() const { return server_; }

    // The rows around a score and its place (FetchList). The status line tells of a
    // running transfer from this call on.
    void FetchList(std::int32_t points);
    // Mode 1 submits submitUrl first; every mode then fetches the best-of table anew.
    void NetworkThread(std::int32_t mode, std::string submitUrl = {});
    // Empties rows first to last.
    void ForgetRows(std::int32_t first, std::int32_t last) { board_.ClearRows(first, last); }

    // True while a transfer waits or runs.
    bool Busy() { return worker_.Busy(); }
    // Brings the frame's view up to date; never waits for the network.
    void Refresh(BoardView& view) { board_.Refresh(view); }

private:
    // Fetches url; a failure is recorded for the status line. The body either way.
    std::string Fetch(const std::string& url);
    void FetchBestOf();

    platform::HttpTransport& http_;
    platform::Clock& clock_;
    std::string server_;
    Board board_;
    TransferWorker worker_;  // last: it stops before what its jobs use goes away
};

// The base address as the requests need it: ending in "/".
std::string WithFinalSlash(std::string server);

}  // namespace zorblet::highscore
