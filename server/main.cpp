// zorblet-highscore-server: the online highscore list of Zorblet.

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <span>
#include <thread>

#include "highscore_service.h"
#include "http_frontend.h"
#include "server_options.h"
#include "sqlite_score_board.h"

namespace {

using namespace zorblet::server;

// SIGINT and SIGTERM are blocked in every thread and taken by one waiting thread, so no
// handler runs in the middle of a request. This must run before any thread starts.
sigset_t BlockStopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    // A client that hangs up must not end the process, and a file-size limit should turn
    // into a storage error (answered 503) rather than a kill.
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
    return signals;
}

std::filesystem::path PrepareDatabasePath(const ServerOptions& options) {
    std::filesystem::path database = options.database;
    if (database.empty()) database = FindDefaultDatabase();
    if (database.empty()) throw StorageError("no --db given and neither XDG_DATA_HOME nor HOME set");
    if (database.has_parent_path()) std::filesystem::create_directories(database.parent_path());
    return database;
}

std::string DescribeAddress(const ServerOptions& options, int port) {
    const bool ipv6 = options.bind_address.find(':') != std::string::npos;
    const std::string host = ipv6 ? "[" + options.bind_address + "]" : options.bind_address;
    return "http://" + host + ":" + std::to_string(port) + options.base_path;
}

void AnnounceStart(const ServerOptions& options, int port, const std::filesystem::path& database,
                   const ScoreBoard& board) {
    std::int64_t entries = 0;
    board.ReadRanking([&](const RankedView& view) { entries = view.CountEntries(); });
    const std::string program(DescribeProgram());
    std::fprintf(stderr, "%s: listening on %s (%lld entries in %s)\n", program.c_str(),
                 DescribeAddress(options, port).c_str(), static_cast<long long>(entries), database.c_str());
}

int Serve(const ServerOptions& options, const sigset_t& stop_signals) {
    const std::filesystem::path database = PrepareDatabasePath(options);
    SqliteScoreBoard board(database);
    HighscoreService service(board, {options.base_path, options.submissions_per_minute});
    HttpFrontend frontend(service, options.threads, options.connections_per_address);
    const int port = frontend.Bind(options.bind_address, options.port);
    if (port < 0) {
        std::fprintf(stderr, "zorblet-highscore-server: cannot listen on %s port %d\n", options.bind_address.c_str(),
                     options.port);
        return 1;
    }
    AnnounceStart(options, port, database, board);
    std::thread stopper([&] {
        int received = 0;
        sigwait(&stop_signals, &received);
        frontend.Stop();
    });
    const bool served = frontend.Run();
    pthread_kill(stopper.native_handle(), SIGTERM);  // wakes it if Run ended on its own
    stopper.join();
    std::fprintf(stderr, "zorblet-highscore-server: stopped\n");
    return served ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const ParsedOptions parsed = ParseServerOptions(std::span<const char* const>(argv, argc));
    if (!parsed.options) {
        std::fputs(parsed.message.c_str(), parsed.exit_status == 0 ? stdout : stderr);
        return parsed.exit_status;
    }
    const sigset_t stop_signals = BlockStopSignals();
    try {
        return Serve(*parsed.options, stop_signals);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "zorblet-highscore-server: %s\n", error.what());
        return 1;
    }
}
