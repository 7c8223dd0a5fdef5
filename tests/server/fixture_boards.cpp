#include "fixture_boards.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

namespace zorblet::server::testing {

std::vector<ScoreEntry> ThreeEntryBoard() {
    return {{300, "Anna", "01.02.24"}, {500, "Bert", "02.02.24"}, {300, "Cleo", "03.02.24"}};
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

}  // namespace zorblet::server::testing
