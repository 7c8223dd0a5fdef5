// zorblet-bot-record FILE [SEED [MINUTES [TICKET]]]: writes a game of the frame benchmark's
// play bot as a record file (seed 1, ten minutes unless it loses its last ball sooner), for
// the watch page's benchmark (scripts/bench-viewer) and anyone who wants a long record. With
// the ticket and the seed of an answer of the service's api/v1/games/new, the record can be
// posted to api/v1/games as the game posts its own.

#include <charconv>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "record/bot_games.h"
#include "record/record_format.h"

namespace {

bool ParseNumber(const char* text, std::uint32_t& value) {
    const std::string_view digits(text);
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return error == std::errc{} && end == digits.data() + digits.size();
}

}  // namespace

int main(int argc, char** argv) {
    std::uint32_t seed = 1, minutes = 10;
    const std::string_view ticket = argc > 4 ? argv[4] : "";
    if (argc < 2 || argc > 5 || (argc > 2 && !ParseNumber(argv[2], seed)) ||
        (argc > 3 && (!ParseNumber(argv[3], minutes) || minutes == 0 || minutes > 180)) ||
        ticket.size() > zorblet::record::MaxTicketBytes) {
        std::cerr << "usage: zorblet-bot-record FILE [SEED [MINUTES [TICKET]]]   (MINUTES from 1 to 180, "
                     "TICKET at most 512 bytes)\n";
        return 2;
    }
    auto game = zorblet::bench::PlayBotGame(seed, minutes * 60 * zorblet::record::FramesPerSecond);
    game.Ticket.assign(ticket.begin(), ticket.end());
    const auto bytes = zorblet::record::EncodeRecord(game);
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::cerr << "zorblet-bot-record: cannot write " << argv[1] << "\n";
        return 1;
    }
    std::cout << argv[1] << ": " << game.Frames.size() << " frames, " << game.Score << " points, "
              << bytes.size() << " bytes\n";
    return 0;
}
