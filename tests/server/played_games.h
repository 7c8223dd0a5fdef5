#pragma once
// Recorded games for the service's tests: played by a hand-like input on a seed, whole as
// the replay library judges them, and sent with a ticket signed by the tests' known key.

#include <chrono>
#include <string>
#include <vector>

#include "../record/sample_records.h"
#include "record/record_format.h"
#include "replay/record_player.h"
#include "ticket/game_ticket.h"

namespace zorblet::server::testing {

inline std::int64_t UnixNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A game the replay library itself calls whole: started by F2 in its first frame, ended by
// ESC in its last, or cut at its game over where the last ball is lost before; claiming the
// points its replay gives.
inline record::GameRecord PlayedGame(std::uint32_t frames, std::uint64_t seed) {
    record::GameRecord game = zorblet::testing::HandPlayedGame(frames, seed);
    game.Frames.back().EscapeReleased = true;
    game.End = record::GameEnd::Abandoned;
    replay::ReplayedGame replayed = replay::ReplayGame(game, true);
    if (replayed.Course == replay::CourseProblem::EndedEarly) {
        game.Frames.resize(replayed.FramesPlayed);
        game.End = record::GameEnd::GameOver;
        replayed = replay::ReplayGame(game, false);
    }
    game.Score = replayed.Score;
    return game;
}

// A ticket for `seed`, issued `age` seconds ago, signed with `key`.
inline std::string SignTicket(const TicketKey& key, std::uint32_t seed, std::int64_t age = 0) {
    GameTicket ticket = IssueTicket(UnixNow() - age);
    ticket.seed = seed;
    return key.Sign(ticket);
}

// The record's bytes with `ticket` in it, as a request's body.
inline std::string RecordWithTicket(record::GameRecord game, const std::string& ticket) {
    game.Ticket.assign(ticket.begin(), ticket.end());
    const std::vector<std::uint8_t> bytes = record::EncodeRecord(game);
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace zorblet::server::testing
