// The service's watch pages for the browser tests, until the store keeps games' records
// itself: the real list (SQLite), the real web service with its viewer's files and the
// real HTTP listener, with the kept records coming from files the test names, which this
// program also serves where the store's route will ({base}api/v1/games/{id}).
//
//   zorblet-watch-service DATABASE VIEWER_FOLDER [NAME POINTS DATE RECORD|-]...
//
// Adds each entry to a new list (RECORD "-": none kept), listens on a free loopback port
// and prints "port N" and "game NAME ID" for each entry; ends when its input ends.

#include <cstdio>
#include <iostream>
#include <map>
#include <string>

#include "http/http_listener.h"
#include "http/listening_socket.h"
#include "query/query.h"
#include "store/sqlite/sqlite_score_board.h"
#include "web/web_service.h"

namespace {

using namespace zorblet::server;

class KeptFiles final : public WatchableGames {
public:
    explicit KeptFiles(const ScoreBoard& board) : board_(board) {}

    bool IsKept(std::int64_t id) const override { return records.contains(id); }
    std::optional<WatchableEntry> FindKept(std::int64_t id) const override {
        std::optional<WatchableEntry> found;
        if (!IsKept(id)) return found;
        board_.ReadRanking([&](const RankedView& view) {
            view.VisitFrom(1, [&](std::int64_t, const RankedEntry& entry) {
                if (entry.id == id) found = WatchableEntry{id, entry.points, std::string(entry.name), std::string(entry.date)};
                return !found;
            });
        });
        return found;
    }

    std::map<std::int64_t, std::string> records;  // entry id -> record file

private:
    const ScoreBoard& board_;
};

std::string ReadFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) throw std::runtime_error("cannot read " + path);
    std::string bytes;
    char buffer[65536];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, got);
    std::fclose(file);
    return bytes;
}

std::int64_t FindId(const ScoreBoard& board, const std::string& name) {
    std::int64_t id = 0;
    board.ReadRanking([&](const RankedView& view) {
        view.VisitFrom(1, [&](std::int64_t, const RankedEntry& entry) {
            if (entry.name == name) id = entry.id;
            return id == 0;
        });
    });
    return id;
}

Reply AnswerRecord(const KeptFiles& kept, std::string_view path) {
    constexpr std::string_view Prefix = "/api/v1/games/";
    const std::optional<std::int64_t> id = ParseGameId(path.substr(Prefix.size()));
    if (!id || !kept.IsKept(*id)) return RefuseRequest(404, "no record kept for this game");
    Reply reply;
    reply.content_type = "application/octet-stream";
    reply.body = ReadFile(kept.records.at(*id));
    reply.headers = {{"X-Content-Type-Options", "nosniff"},
                     {"Content-Security-Policy", "default-src 'none'; frame-ancestors 'none'"}};
    return reply;
}

int Serve(int argc, char** argv) {
    SqliteScoreBoard board(argv[1]);
    std::string problem;
    const std::optional<ViewerFiles> files = ViewerFiles::Load(argv[2], problem);
    if (!files) throw std::runtime_error(problem);
    KeptFiles kept(board);
    std::vector<std::string> names;
    for (int i = 3; i + 3 < argc; i += 4) {
        board.AddEntry({std::stoi(argv[i + 1]), argv[i], argv[i + 2]});
        names.emplace_back(argv[i]);
        if (std::string(argv[i + 3]) != "-") kept.records[FindId(board, argv[i])] = argv[i + 3];
    }
    const WebService web(board, "/", {&*files, &kept});
    const TcpListening listening = ListenOnTcp("127.0.0.1", 0);
    if (listening.socket < 0) throw std::runtime_error("cannot listen");
    ListenerSettings settings;
    settings.log_requests = false;
    HttpListener listener(listening.socket, [&](const Request& request) {
        if (std::optional<Reply> reply = web.Answer(request)) return std::move(*reply);
        const std::string_view path = SplitTarget(request.target).path;
        if (path.starts_with("/api/v1/games/")) return AnswerRecord(kept, path);
        return RefuseRequest(404, "not found");
    }, settings);
    std::printf("port %d\n", listening.port);
    for (const std::string& name : names) std::printf("game %s %lld\n", name.c_str(), static_cast<long long>(FindId(board, name)));
    std::fflush(stdout);
    for (std::string line; std::getline(std::cin, line);) {
    }
    listener.Stop();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || (argc - 3) % 4 != 0) {
        std::fputs("usage: zorblet-watch-service DATABASE VIEWER_FOLDER [NAME POINTS DATE RECORD|-]...\n", stderr);
        return 2;
    }
    try {
        return Serve(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "zorblet-watch-service: %s\n", error.what());
        return 1;
    }
}
