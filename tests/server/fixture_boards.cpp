#include "fixture_boards.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "server_process.h"

namespace zorblet::server::testing {

std::vector<ScoreEntry> ThreeEntryBoard() {
    return {{300, "Anna", "01.02.24"}, {500, "Bert", "02.02.24"}, {300, "Cleo", "03.02.24"}};
}

std::vector<ScoreEntry> SixEntryBoard() {
    return {{500, "Anna", "01.02.24"}, {300, "Bert", "02.02.24"}, {300, "Cleo", "03.03.24"},
            {200, "Dora", "04.03.24"}, {100, "\xC4mil", "05.04.24"}, {50, "Finn", "06.04.24"}};
}

std::vector<ScoreEntry> SixtyEntryBoard() {
    // Names the key map can type, and some a hostile client could send.
    const std::array<std::string, 9> names{
        "M\xFC"
        "ller",
        "\xC4rger & Co",
        "'); DROP TABLE scores;--",
        "Stra\xDF"
        "e 100%",
        "\x80uro \xA7 5",
        "ABCDEFGHIJKLMNOPQRSTUVWX",
        "a",
        " Leerzeichen ",
        "Quote\"Back\\slash",
    };
    std::vector<ScoreEntry> entries;
    for (int i = 0; i < 60; ++i) {
        std::string name = names[i % names.size()];
        if (i >= static_cast<int>(names.size())) name = (name + " " + std::to_string(i)).substr(0, 24);
        std::array<char, 16> date{};
        std::snprintf(date.data(), date.size(), "%02d.%02d.24", 1 + i % 28, 1 + i % 12);
        entries.push_back({(i * 37 % 23) * 50 - 100, name, date.data()});
    }
    return entries;
}

std::vector<ScoreEntry> FiftyTwoEntryBoard() {
    std::vector<ScoreEntry> entries = SixtyEntryBoard();
    entries.resize(52);
    return entries;
}

std::vector<ScoreEntry> RankNaively(std::vector<ScoreEntry> entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const ScoreEntry& a, const ScoreEntry& b) { return a.points > b.points; });
    return entries;
}

std::string ExpectedBestOf(const std::vector<ScoreEntry>& ranked) {
    const auto size = static_cast<std::int64_t>(ranked.size());
    const auto record = [&](std::int64_t rank) {
        return rank >= 1 && rank <= size ? Record(ranked[static_cast<std::size_t>(rank - 1)]) : EmptyRecords(1);
    };
    std::string reply = std::to_string(size) + "\r\n";
    for (std::int64_t rank = 1; rank <= 50; ++rank) reply += record(rank);
    for (std::int64_t rank = size; rank > size - 5; --rank) reply += record(rank);
    return reply;
}

std::string ExpectedPlaceList(const std::vector<ScoreEntry>& ranked, std::int32_t points) {
    const auto place =
        1 + std::count_if(ranked.begin(), ranked.end(), [&](const ScoreEntry& e) { return e.points >= points; });
    std::string reply = std::to_string(place) + "\r\n";
    for (auto rank = std::max<std::int64_t>(1, place - 8); rank <= place + 3; ++rank) {
        reply += rank <= static_cast<std::int64_t>(ranked.size()) ? Record(ranked[rank - 1]) : EmptyRecords(1);
    }
    return reply;
}

}  // namespace zorblet::server::testing
