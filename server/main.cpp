// zorblet-highscore-server: the online highscore list of Zorblet.

#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <span>

#include "admin_listener.h"
#include "connection_event_log.h"
#include "connection_registry.h"
#include "highscore_service.h"
#include "http_listener.h"
#include "listening_socket.h"
#include "metrics.h"
#include "operator_pages.h"
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

// Each connection holds a descriptor: the slots stay below the process's limit of open
// files, raised as far as allowed, with room for the database and the listeners.
std::size_t FindConnectionSlots() {
    constexpr std::size_t MaxSlots = 16384;
    constexpr rlim_t Reserved = 128 + 256;  // files of its own, connections on their way out
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) != 0) return 256;
    if (files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
        ::getrlimit(RLIMIT_NOFILE, &files);
    }
    return files.rlim_cur > Reserved + 64 ? std::min<std::size_t>(MaxSlots, files.rlim_cur - Reserved) : 64;
}

// The game's requests go to the service.
RequestHandler MakeGameHandler(HighscoreService& service) {
    return [&service](const Request& request) {
        return service.Answer(request.method, request.target, request.address);
    };
}

// The game's listener: capped connections, and every answer timed and counted.
ListenerSettings GameListenerSettings(const ServerOptions& options, ConnectionRegistry& registry,
                                      ServiceMetrics& metrics, const HighscoreService& service) {
    ListenerSettings settings;
    settings.threads = options.threads;
    settings.registry = &registry;
    settings.observe = [&metrics, &service](const Request& request, const Reply& reply,
                                            std::chrono::nanoseconds duration) {
        metrics.CountRequest(service.ClassifyRequest(request.target), reply.status, duration);
    };
    return settings;
}

std::unique_ptr<HttpListener> StartMetricsListener(const ListenAddress& address, const OperatorSources& sources) {
    const TcpListening listening = ListenOnTcp(address.host, address.port);
    if (listening.socket < 0) {
        throw std::runtime_error("cannot listen for metrics on " + address.host + " port " +
                                 std::to_string(address.port));
    }
    ListenerSettings settings;
    settings.log_requests = false;  // scraped every few seconds
    std::fprintf(stderr, "zorblet-highscore-server: metrics on %s port %d\n", address.host.c_str(), listening.port);
    return std::make_unique<HttpListener>(listening.socket, MakeOperatorHandler(sources), settings);
}

int Serve(const ServerOptions& options, const sigset_t& stop_signals) {
    // Before anything else, so that a second server on the same socket ends at once.
    std::unique_ptr<UnixSocketFile> admin_socket;
    if (!options.admin_socket.empty()) admin_socket = std::make_unique<UnixSocketFile>(options.admin_socket);
    const std::filesystem::path database = PrepareDatabasePath(options);
    SqliteScoreBoard board(database);
    ServiceMetrics metrics;
    HighscoreService service(board, {options.base_path, options.submissions_per_minute,
                                     [&metrics](SubmissionOutcome outcome) { metrics.CountSubmission(outcome); }});
    ConnectionRegistry registry(FindConnectionSlots(), options.connections_per_address);
    const OperatorSources sources{metrics, board, registry};
    const TcpListening listening = ListenOnTcp(options.bind_address, options.port);
    if (listening.socket < 0) {
        std::fprintf(stderr, "zorblet-highscore-server: cannot listen on %s port %d\n", options.bind_address.c_str(),
                     options.port);
        return 1;
    }
    HttpListener game(listening.socket, MakeGameHandler(service),
                      GameListenerSettings(options, registry, metrics, service));
    std::unique_ptr<HttpListener> metrics_listener;
    if (options.metrics_bind) metrics_listener = StartMetricsListener(*options.metrics_bind, sources);
    std::unique_ptr<HttpListener> admin_listener;
    if (admin_socket) admin_listener = StartAdminListener(*admin_socket, sources, nullptr);
    AnnounceStart(options, listening.port, database, board);
    const ConnectionEventLog event_log(registry);
    int received = 0;
    sigwait(&stop_signals, &received);
    if (admin_listener) admin_listener->Stop();
    if (metrics_listener) metrics_listener->Stop();
    game.Stop();
    std::fprintf(stderr, "zorblet-highscore-server: stopped\n");
    return 0;
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
