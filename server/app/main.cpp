// zorblet-highscore-server: the online highscore list of Zorblet.

#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <span>

#include "http/connection_event_log.h"
#include "http/connection_registry.h"
#include "http/http_listener.h"
#include "http/listening_socket.h"
#include "ops/admin_listener.h"
#include "ops/admin_service.h"
#include "ops/metrics.h"
#include "ops/operator_pages.h"
#include "protocol/game_protocol.h"
#include "protocol/game_submissions.h"
#include "protocol/refused_names.h"
#include "protocol/submit_guard.h"
#include "query/query.h"
#include "server_options.h"
#include "store/redis/copy_to_redis.h"
#include "store/redis/redis_score_board.h"
#include "store/sqlite/sqlite_score_board.h"
#include "ticket/ticket_key_file.h"
#include "web/game_api.h"
#include "web/game_front.h"
#include "web/web_service.h"

namespace {

using namespace zorblet::server;

// SIGINT, SIGTERM and SIGHUP are blocked in every thread and taken by one waiting thread,
// so no handler runs in the middle of a request. This must run before any thread starts.
sigset_t BlockHandledSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
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

// The list the service answers from, and what goes with its store: where submissions
// pass, and the operators' requests.
struct OpenedList {
    std::unique_ptr<ScoreBoard> board;
    std::unique_ptr<SubmitGate> gate;
    std::unique_ptr<AdminService> admin;
    std::string description;  // the file or the address, for the start line
};

OpenedList OpenSqliteList(const ServerOptions& options, const ProtocolClock& clock) {
    const std::filesystem::path database = PrepareDatabasePath(options);
    auto board = std::make_unique<SqliteScoreBoard>(database, KeptGames{options.keep_games});
    OpenedList list;
    list.gate = std::make_unique<LocalSubmitGate>(*board, options.submissions_per_minute, clock);
    list.admin = std::make_unique<AdminService>(*board, *board, *board);
    list.description = database.string();
    list.board = std::move(board);
    return list;
}

// The password stays off the command line, where every user of the machine could read it.
// A serving instance gives Redis a second, so that a stalled Redis is answered 503 soon.
RedisLink::Settings ConnectionTo(const RedisAddress& address,
                                 std::chrono::milliseconds timeout = std::chrono::milliseconds(1000)) {
    const char* password = std::getenv("ZORBLET_REDIS_PASSWORD");
    return {address, password != nullptr ? password : "", timeout};
}

// A copy writes its batches with every write synced to disk: on a busy machine one batch
// may take Redis longer than the second a serving instance allows.
constexpr std::chrono::milliseconds CopyTimeout{30000};

OpenedList OpenRedisList(const ServerOptions& options) {
    auto board = std::make_unique<RedisScoreBoard>(
        RedisScoreBoard::Settings{ConnectionTo(*options.store), options.redis_wait_replicas, {options.keep_games}});
    OpenedList list;
    list.gate = std::make_unique<RedisSubmitGate>(*board, options.submissions_per_minute);
    list.admin = std::make_unique<AdminService>(*board, *board, *board);
    list.description = options.store->Describe();
    list.board = std::move(board);
    return list;
}

// The watch pages' files, read once; without them the service runs without watch pages,
// saying why unless the default folder is simply not there.
std::optional<ViewerFiles> LoadViewerFiles(const ServerOptions& options) {
    std::string problem;
    std::optional<ViewerFiles> files = ViewerFiles::Load(options.viewer_folder, problem);
    std::error_code error;
    if (!files && (options.viewer_folder_given || std::filesystem::exists(options.viewer_folder, error))) {
        std::fprintf(stderr, "zorblet-highscore-server: warning: games cannot be watched: %s\n", problem.c_str());
    }
    return files;
}

void AnnounceStart(const ServerOptions& options, int port, const OpenedList& list) {
    std::string entries = "entries unknown yet";
    try {
        list.board->ReadRanking([&](const RankedView& view) { entries = std::to_string(view.CountEntries()) + " entries"; });
    } catch (const StorageError&) {
        // Told when the store answers.
    }
    const std::string program(DescribeProgram());
    std::fprintf(stderr, "%s: listening on %s (%s in %s)\n", program.c_str(), DescribeAddress(options, port).c_str(),
                 entries.c_str(), list.description.c_str());
}

int CopyToRedis(const ServerOptions& options) {
    const std::filesystem::path database = options.database.empty() ? FindDefaultDatabase() : options.database;
    RedisLink link(ConnectionTo(*options.copy_to, CopyTimeout), {});
    if (!link.Serves()) throw StorageError("Redis at " + options.copy_to->Describe() + " does not answer");
    const CopyReport report = CopyListToRedis(SqliteScoreBoard::ReadSnapshot(database), link);
    std::fprintf(stderr, "zorblet-highscore-server: %s: %lld entries, %lld removed, %lld log lines from %s\n",
                 report.already_there ? "the Redis list holds this list already, nothing written" : "copied",
                 static_cast<long long>(report.entries), static_cast<long long>(report.removed),
                 static_cast<long long>(report.log_lines), database.c_str());
    return 0;
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

std::unique_ptr<RefusedNames> ReadRefusedNames(const ServerOptions& options) {
    if (options.refused_names_file.empty()) return nullptr;
    return std::make_unique<RefusedNames>(options.refused_names_file);
}

// SIGHUP reads the refused names again; a file that cannot be read keeps the old words.
void ReloadRefusedNames(RefusedNames* names) {
    if (names == nullptr) return;
    const std::string problem = names->Reload();
    if (problem.empty()) {
        std::fprintf(stderr, "zorblet-highscore-server: %zu refused words from %s\n", names->CountWords(),
                     names->file().c_str());
    } else {
        std::fprintf(stderr, "zorblet-highscore-server: warning: keeping the refused words: %s\n", problem.c_str());
    }
}

// Waits for a stop signal, reloading on SIGHUP meanwhile.
void AwaitStop(const sigset_t& signals, RefusedNames* refused_names) {
    int received = 0;
    while (sigwait(&signals, &received) == 0 && received == SIGHUP) ReloadRefusedNames(refused_names);
}

// The key file: as given, or beside the database (the state directory under systemd).
std::filesystem::path FindGameKeyFile(const ServerOptions& options) {
    if (!options.game_key_file.empty()) return options.game_key_file;
    std::filesystem::path database = options.database.empty() ? FindDefaultDatabase() : options.database;
    if (database.empty()) throw StorageError("no --game-key-file given and neither XDG_DATA_HOME nor HOME set");
    if (database.has_parent_path()) std::filesystem::create_directories(database.parent_path());
    return database.parent_path() / "game-key";
}

// The pages, the API and their files go to the web service, the recorded games to their
// API, the game's three requests to the game's protocol, and what is none is not found.
RequestHandler MakeGameHandler(GameProtocol& game, const GameApi& games, const WebService& web) {
    return [&game, &games, &web](const Request& request) {
        if (std::optional<Reply> reply = games.Answer(request)) return std::move(*reply);
        if (std::optional<Reply> reply = web.Answer(request)) return std::move(*reply);
        if (std::optional<Reply> reply = AnswerGameRequest(game, request)) return std::move(*reply);
        return RefuseRequest(404, "not found");
    };
}

RequestKind KindOf(GameRequest request) {
    switch (request) {
        case GameRequest::BestOf:
            return RequestKind::BestOf;
        case GameRequest::PlaceList:
            return RequestKind::PlaceList;
        case GameRequest::Submission:
            break;
    }
    return RequestKind::Submission;
}

RequestKind KindOf(WebRequest request) {
    switch (request) {
        case WebRequest::Page:
            return RequestKind::Page;
        case WebRequest::Api:
            return RequestKind::Api;
        case WebRequest::Static:
            break;
    }
    return RequestKind::Static;
}

RequestKind ClassifyRequest(const GameProtocol& game, const GameApi& games, const WebService& web,
                            std::string_view target) {
    const std::string_view path = SplitTarget(target).path;
    if (games.Serves(path)) return RequestKind::Game;
    if (const std::optional<GameRequest> request = game.FindRequest(path)) return KindOf(*request);
    if (const std::optional<WebRequest> request = web.FindRequest(path)) return KindOf(*request);
    return RequestKind::Other;
}

// The game's listener, which serves the pages too: capped connections, and every answer
// timed and counted.
// Bodies only for the recorded games (a record each), within a budget of 16 records held
// at once over all connections.
ListenerSettings GameListenerSettings(const ServerOptions& options, ConnectionRegistry& registry,
                                      ServiceMetrics& metrics, const GameProtocol& game, const GameApi& games,
                                      const WebService& web) {
    ListenerSettings settings;
    settings.threads = options.threads;
    settings.registry = &registry;
    settings.body_limit = [&games](std::string_view method, std::string_view target) {
        return games.BodyLimit(method, target);
    };
    settings.held_body_budget = 16 * MaxRecordBytes;
    settings.refuse_body = [&games](const Request& request, int status) { return games.RefuseBody(request, status); };
    settings.observe = [&metrics, &game, &games, &web](const Request& request, const Reply& reply,
                                                       std::chrono::nanoseconds duration) {
        metrics.CountRequest(ClassifyRequest(game, games, web, request.target), reply.status, duration);
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

int Serve(const ServerOptions& options, const sigset_t& handled_signals) {
    // Before anything else, so that a second server on the same socket ends at once.
    std::unique_ptr<UnixSocketFile> admin_socket;
    if (!options.admin_socket.empty()) admin_socket = std::make_unique<UnixSocketFile>(options.admin_socket);
    const std::unique_ptr<RefusedNames> refused_names = ReadRefusedNames(options);
    const SystemClock clock;
    const OpenedList list = options.store ? OpenRedisList(options) : OpenSqliteList(options, clock);
    ScoreBoard& board = *list.board;
    ServiceMetrics metrics;
    GameProtocol game(board, *list.gate, clock,
                      {options.base_path, refused_names.get(), !options.accept_unverified,
                       [&metrics](SubmissionOutcome outcome) { metrics.CountSubmission(outcome); }});
    GameSubmissionSettings game_settings;
    game_settings.refused_names = refused_names.get();
    game_settings.tickets_per_minute = options.submissions_per_minute;
    game_settings.replay_threads = options.replay_threads;
    game_settings.replay_queue = options.replay_queue;
    game_settings.report_outcome = [&metrics](SubmissionOutcome outcome) { metrics.CountSubmission(outcome); };
    game_settings.report_replay = [&metrics](std::chrono::nanoseconds duration) { metrics.CountReplay(duration); };
    GameSubmissions submissions(board, *list.gate, LoadOrCreateTicketKey(FindGameKeyFile(options)), clock,
                                std::move(game_settings));
    metrics.WatchReplayQueue([&submissions] { return submissions.CountWaiting(); });
    const GameApi games(submissions, options.base_path);
    const std::optional<ViewerFiles> viewer_files = LoadViewerFiles(options);
    const StoredGames kept_games(board);
    const WebService web(board, options.base_path, {viewer_files ? &*viewer_files : nullptr, &kept_games});
    ConnectionRegistry registry(FindConnectionSlots(), options.connections_per_address);
    const OperatorSources sources{metrics, board, registry};
    const TcpListening listening = ListenOnTcp(options.bind_address, options.port);
    if (listening.socket < 0) {
        std::fprintf(stderr, "zorblet-highscore-server: cannot listen on %s port %d\n", options.bind_address.c_str(),
                     options.port);
        return 1;
    }
    HttpListener listener(listening.socket, MakeGameHandler(game, games, web),
                          GameListenerSettings(options, registry, metrics, game, games, web));
    std::unique_ptr<HttpListener> metrics_listener;
    if (options.metrics_bind) metrics_listener = StartMetricsListener(*options.metrics_bind, sources);
    AdminService& admin = *list.admin;  // outlives the listener that calls it
    std::unique_ptr<HttpListener> admin_listener;
    if (admin_socket) {
        admin_listener = StartAdminListener(*admin_socket, sources,
                                            [&admin](const Request& request) { return admin.Answer(request); });
    }
    AnnounceStart(options, listening.port, list);
    const ConnectionEventLog event_log(registry);
    AwaitStop(handled_signals, refused_names.get());
    if (admin_listener) admin_listener->Stop();
    if (metrics_listener) metrics_listener->Stop();
    listener.Stop();
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
    const sigset_t handled_signals = BlockHandledSignals();
    try {
        if (parsed.options->copy_to) return CopyToRedis(*parsed.options);
        return Serve(*parsed.options, handled_signals);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "zorblet-highscore-server: %s\n", error.what());
        return 1;
    }
}
