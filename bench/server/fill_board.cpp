// zorblet-highscore-fill FILE COUNT: adds COUNT random scores (0 to 999,999 points) to a
// highscore database through the server's storage layer, in large transactions.

#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <random>
#include <string_view>
#include <vector>

#include "store/sqlite/sqlite_score_board.h"

namespace {

using zorblet::server::ScoreEntry;

constexpr long EntriesPerTransaction = 100'000;

std::vector<ScoreEntry> MakeEntries(long first, long count, std::mt19937& random) {
    std::uniform_int_distribution<std::int32_t> points(0, 999'999);
    std::vector<ScoreEntry> entries;
    entries.reserve(static_cast<std::size_t>(count));
    for (long i = first; i < first + count; ++i) {
        entries.push_back({points(random), "Spieler " + std::to_string(i), "01.01.25"});
    }
    return entries;
}

void FillBoard(const char* file, long count) {
    zorblet::server::SqliteScoreBoard board(file);
    std::mt19937 random(20240501);
    for (long done = 0; done < count; done += EntriesPerTransaction) {
        board.AddEntries(MakeEntries(done, std::min(EntriesPerTransaction, count - done), random));
    }
}

}  // namespace

int main(int argc, char** argv) {
    long count = 0;
    if (argc != 3 || std::from_chars(argv[2], argv[2] + std::strlen(argv[2]), count).ec != std::errc() || count < 0) {
        std::fprintf(stderr, "usage: zorblet-highscore-fill FILE COUNT\n");
        return 2;
    }
    try {
        FillBoard(argv[1], count);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "zorblet-highscore-fill: %s\n", error.what());
        return 1;
    }
    return 0;
}
