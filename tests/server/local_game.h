#pragma once

#include "protocol/clock.h"
#include "protocol/game_protocol.h"
#include "protocol/submit_guard.h"

namespace zorblet::server::testing {

// The game's protocol alone on a board, on the machine's clocks, without an allowance.
struct LocalGame {
    explicit LocalGame(ScoreBoard& board) : gate(board, 0, clock), protocol(board, gate, clock, {}) {}

    SystemClock clock;
    LocalSubmitGate gate;
    GameProtocol protocol;
};

}  // namespace zorblet::server::testing
