// Writes recorded games for scripts/bench-server --verified: the play bot's games on a few
// seeds, each copy with a ticket of its own signed with the key in KEY_FILE, so that every
// file is a game the service takes once.
// Usage: zorblet-bench-games KEY_FILE OUT_DIR COUNT MINUTES

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "record/bot_games.h"
#include "record/record_format.h"
#include "ticket/game_ticket.h"
#include "ticket/ticket_key_file.h"

int main(int argc, char** argv) {
    using namespace zorblet;
    if (argc != 5) {
        std::fputs("usage: zorblet-bench-games KEY_FILE OUT_DIR COUNT MINUTES\n", stderr);
        return 2;
    }
    const server::TicketKey key = server::LoadOrCreateTicketKey(argv[1]);
    const std::filesystem::path out = argv[2];
    const int count = std::atoi(argv[3]);
    const auto frames = static_cast<std::uint32_t>(std::atoi(argv[4]) * 60 * record::FramesPerSecond);
    std::filesystem::create_directories(out);
    std::vector<record::GameRecord> games;
    for (std::uint32_t seed = 1; seed <= 5; ++seed) games.push_back(bench::PlayBotGame(seed * 7919, frames));
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch()).count();
    for (int i = 0; i < count; ++i) {
        record::GameRecord game = games[static_cast<std::size_t>(i) % games.size()];
        server::GameTicket ticket = server::IssueTicket(now);
        ticket.seed = static_cast<std::uint32_t>(game.Seed);
        const std::string text = key.Sign(ticket);
        game.Ticket.assign(text.begin(), text.end());
        const std::vector<std::uint8_t> bytes = record::EncodeRecord(game);
        std::ofstream(out / ("game-" + std::to_string(i) + ".zrec"), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    std::fprintf(stderr, "%d records of %u frames, scores", count, frames);
    for (const auto& game : games) std::fprintf(stderr, " %d", game.Score);
    std::fputs("\n", stderr);
    return 0;
}
