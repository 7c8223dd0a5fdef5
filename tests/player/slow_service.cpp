// A highscore service too slow to finish, standing in for the real one at the game's
// address while scripts/bench-slow-service times the menu. The best-of table trickles
// out a byte at a time, so the game's fetch of it runs until its budget ends it; every
// other request, such as the start-up list before the first frame, is answered at once,
// so that the frames begin without waiting out that budget first.
// With --start-up every request trickles, the start-up list too (the game's exit test
// closes the window while it waits for it).
// Usage: zorblet-slow-service PORT [--start-up]   (on 127.0.0.1; ends on SIGTERM or SIGINT)

#include <signal.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "support/misbehaving_server.h"
#include "support/stop_signals.h"

namespace {

using namespace zorblet::testing;
using Clock = std::chrono::steady_clock;

// 20 bytes a second: above the game's low-speed limit (10 bytes a second over 3 s), so
// that never cuts the fetch short, and far too slow for the 1.6 kB table to arrive
// within the fetch's 10 s budget.
constexpr std::chrono::milliseconds TrickleGap{50};

std::string ReadFixture(const char* name) {
    std::ifstream file(std::string(ZORBLET_FIXTURE_DIR) + "/" + name, std::ios::binary);
    if (!file) throw std::runtime_error(std::string("cannot read the fixture ") + name);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

bool AsksForBestOf(const std::string& requestHead) {
    const std::string_view requestLine = std::string_view(requestHead).substr(0, requestHead.find('\r'));
    return requestLine.find("/BestOffSQL.php") != std::string_view::npos;
}

// Tells on stderr how long each trickle lasted: the game gave up when it ends early.
ServerMode TrickleBestOf(std::string bestOf, std::string placeList, bool startUpToo) {
    auto trickle = Trickles(std::move(bestOf), TrickleGap).Script;
    auto answer = Answers(200, std::move(placeList)).Script;
    return {Listening::Open, [trickle, answer, startUpToo](FixtureConnection& connection) {
                if (!startUpToo && !AsksForBestOf(connection.RequestHead())) {
                    answer(connection);
                    return;
                }
                std::fprintf(stderr, "slow service: trickling the best-of table\n");
                const Clock::time_point start = Clock::now();
                trickle(connection);
                std::fprintf(stderr, "slow service: the best-of transfer ended after %.2f s\n",
                             std::chrono::duration<double>(Clock::now() - start).count());
            }};
}

bool ParsePort(const char* text, int& port) {
    const char* end = text + std::strlen(text);
    const auto parsed = std::from_chars(text, end, port);
    return parsed.ec == std::errc() && parsed.ptr == end && port > 0 && port < 65536;
}

}  // namespace

int main(int argc, char** argv) {
    int port = 0;
    if (argc < 2 || argc > 3 || !ParsePort(argv[1], port)) {
        std::fprintf(stderr, "usage: zorblet-slow-service PORT [--start-up]\n");
        return 2;
    }
    const sigset_t stops = BlockStopSignals();
    try {
        const bool startUpToo = argc > 2 && std::strcmp(argv[2], "--start-up") == 0;
        MisbehavingServer server(
            TrickleBestOf(ReadFixture("bestof_60.txt"), ReadFixture("liste_60_P1.txt"), startUpToo), port);
        std::fprintf(stderr, "slow service: listening on 127.0.0.1:%d\n", server.Port());
        int signal = 0;
        sigwait(&stops, &signal);
        server.Stop();
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "zorblet-slow-service: %s\n", error.what());
        return 1;
    }
    return 0;
}
