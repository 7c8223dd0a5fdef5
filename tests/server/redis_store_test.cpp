// The list in a real redis-server: several instances on one list, Redis stalled, killed
// and restarted, replies byte for byte as from SQLite, and the copy of an SQLite list.

#include <gtest/gtest.h>

#include <hiredis/hiredis.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <map>
#include <random>
#include <thread>

#include "allowance_cases.h"
#include "client_socket.h"
#include "played_games.h"
#include "redis_process.h"
#include "server_process.h"
#include "store/redis/redis_scripts.h"
#include "store/sqlite/sqlite_score_board.h"

namespace zorblet::server::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A GET from a loopback address of the test's choice: each address is a player of its own.
HttpReply GetFrom(const ServerProcess& server, const std::string& source, const std::string& target) {
    ClientSocket client(server.port(), source);
    client.Send("GET " + target + " HTTP/1.1\r\nHost: zorblet\r\nConnection: close\r\n\r\n");
    return client.ReadReply(10s);
}

// A POST of `body` from a loopback address of the test's choice.
HttpReply PostFrom(const ServerProcess& server, const std::string& source, const std::string& target,
                   const std::string& body) {
    ClientSocket client(server.port(), source);
    client.Send("POST " + target + " HTTP/1.1\r\nHost: zorblet\r\nConnection: close\r\nContent-Length: " +
                std::to_string(body.size()) + "\r\n\r\n" + body);
    return client.ReadReply(10s);
}

std::string DescribeReply(const HttpReply& reply) {
    return std::to_string(reply.status) + "\n" + reply.body;
}

// Each line without its last `dropped` TAB-separated columns.
std::string DropLastColumns(const std::string& lines, int dropped) {
    std::string kept;
    std::size_t start = 0;
    while (start < lines.size()) {
        const std::size_t end = std::min(lines.find('\n', start), lines.size());
        std::string line = lines.substr(start, end - start);
        for (int i = 0; i < dropped && line.find('\t') != std::string::npos; ++i) line.erase(line.rfind('\t'));
        kept += line + '\n';
        start = end + 1;
    }
    return kept;
}

// Each line without its first TAB-separated column.
std::string DropFirstColumn(const std::string& lines) {
    std::string kept;
    std::size_t start = 0;
    while (start < lines.size()) {
        const std::size_t end = std::min(lines.find('\n', start), lines.size());
        const std::string line = lines.substr(start, end - start);
        kept += line.substr(std::min(line.find('\t') + 1, line.size())) + '\n';
        start = end + 1;
    }
    return kept;
}

std::string Admin(const std::filesystem::path& socket, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--socket", socket.string()});
    const CommandOutcome outcome = RunAdminCommand(arguments);
    return std::to_string(outcome.exit_status) + "\n" + outcome.out + outcome.err;
}

// Polls `served` until it holds or `limit` passes; returns how long it took.
template <typename Check>
Clock::duration AwaitServing(Check served, Clock::duration limit) {
    const Clock::time_point start = Clock::now();
    while (!served() && Clock::now() - start < limit) std::this_thread::sleep_for(50ms);
    return Clock::now() - start;
}

class RedisStoreTest : public ::testing::Test {
protected:
    RedisProcess& StartRedis(std::vector<std::string> extra = {}) {
        std::filesystem::create_directories(directory_.path() / "redis");
        redis_ = std::make_unique<RedisProcess>(directory_.path() / "redis", std::move(extra));
        return *redis_;
    }

    // An instance on the Redis list; the rate limit is off unless the arguments set one.
    ServerProcess& StartInstance(std::vector<std::string> arguments = {"--submit-rate", "0"}) {
        ServerLaunch launch{directory_.path() / "anchor", std::move(arguments)};
        launch.store = redis_->Address();
        return *instances_.emplace_back(std::make_unique<ServerProcess>(std::move(launch)));
    }

    ServerProcess& StartSqliteService(std::vector<std::string> arguments) {
        return *instances_.emplace_back(
            std::make_unique<ServerProcess>(ServerLaunch{directory_.path() / "scores.sqlite", std::move(arguments)}));
    }

    std::filesystem::path Socket(const std::string& name) const { return directory_.path() / (name + ".sock"); }

    void TearDown() override {
        for (auto& instance : instances_) {
            const int status = instance->Stop();
            EXPECT_EQ(status, 0) << instance->ReadLog();
        }
        instances_.clear();
    }

    TempDir directory_;
    std::unique_ptr<RedisProcess> redis_;
    std::vector<std::unique_ptr<ServerProcess>> instances_;
};

TEST_F(RedisStoreTest, TwoInstancesAnswerAsOne) {
    StartRedis();
    ServerProcess& first = StartInstance({"--submit-rate", "3"});
    ServerProcess& second = StartInstance({"--submit-rate", "3"});

    // Stored through one, at its place on the other at once.
    EXPECT_EQ(GetFrom(first, "127.0.0.2", SubmitTarget(1000, "Anna")).body, "OK");
    const std::string on_second = GetFrom(second, "127.0.0.9", "/ListeSQL.php?Punkte=1000").body;
    EXPECT_TRUE(on_second.starts_with("2\r\n1000\tAnna\t")) << on_second;
    EXPECT_EQ(on_second, GetFrom(first, "127.0.0.9", "/ListeSQL.php?Punkte=1000").body);
    // A repeat sent to the other instance is stored once.
    EXPECT_EQ(GetFrom(second, "127.0.0.2", SubmitTarget(1000, "Anna")).body, "OK");
    EXPECT_EQ(FirstNumber(GetFrom(first, "127.0.0.9", "/BestOffSQL.php").body), 1);
    // The allowance of three counts the attempts on both: the repeat was the second.
    EXPECT_EQ(GetFrom(first, "127.0.0.2", SubmitTarget(900, "Anna")).status, 200);
    EXPECT_EQ(GetFrom(second, "127.0.0.2", SubmitTarget(800, "Anna")).status, 429);
    EXPECT_EQ(GetFrom(first, "127.0.0.2", "/HighScoreSQL.php?Punkte=x").status, 429);
    EXPECT_EQ(GetFrom(second, "127.0.0.3", SubmitTarget(800, "Bert")).status, 200);

    // Equal points rank by arrival, whichever instance stored them.
    for (const auto& [source, name] : {std::pair{"127.0.0.4", "Cora"}, {"127.0.0.5", "Dora"}, {"127.0.0.6", "Emil"}}) {
        ServerProcess& via = name[0] == 'D' ? second : first;
        ASSERT_EQ(GetFrom(via, source, SubmitTarget(500, name)).body, "OK");
    }
    const std::string place_list = GetFrom(second, "127.0.0.9", "/ListeSQL.php?Punkte=500").body;
    EXPECT_LT(place_list.find("Cora"), place_list.find("Dora"));
    EXPECT_LT(place_list.find("Dora"), place_list.find("Emil"));
    EXPECT_EQ(FirstNumber(place_list), 7);
}

}  // namespace
}  // namespace zorblet::server::testing

namespace zorblet::server::testing {
namespace {

// Redis stopped in its tracks takes the connection and answers nothing.
TEST_F(RedisStoreTest, NoOkGoesOutWhileRedisIsStalledAndItServesAgainAfter) {
    RedisProcess& redis = StartRedis();
    ServerProcess& server = StartInstance({"--submit-rate", "0", "--metrics-bind", "127.0.0.1:0"});
    const int health_port = FindMetricsPort(server);
    ASSERT_EQ(GetFrom(server, "127.0.0.2", "/BestOffSQL.php").status, 200);

    redis.Pause();
    Clock::time_point start = Clock::now();
    const HttpReply stalled = GetFrom(server, "127.0.0.2", SubmitTarget(4711, "Stefan"));
    const Clock::duration waited = Clock::now() - start;
    EXPECT_EQ(stalled.status, 503) << stalled.body;
    EXPECT_LT(waited, 4s) << "the promise is 2 s; this bound leaves room for a slow build";
    // Meanwhile every request is refused at once, health included.
    start = Clock::now();
    EXPECT_EQ(GetFrom(server, "127.0.0.3", "/ListeSQL.php?Punkte=1").status, 503);
    EXPECT_EQ(GetFromPort(health_port, "/healthz").status, 503);
    EXPECT_EQ(GetFrom(server, "127.0.0.3", "/").status, 503);
    EXPECT_LT(Clock::now() - start, 4s);

    // The script reached Redis before it stopped: it may run once Redis goes on, and the
    // game's resend is then a repeat. Either way the entry is there once.
    redis.Resume();
    const Clock::duration back = AwaitServing([&] { return GetFromPort(health_port, "/healthz").status == 200; }, 20s);
    EXPECT_LT(back, 6s) << "the promise is 3 s";
    EXPECT_EQ(GetFrom(server, "127.0.0.2", SubmitTarget(4711, "Stefan")).body, "OK");
    EXPECT_EQ(FirstNumber(GetFrom(server, "127.0.0.3", "/BestOffSQL.php").body), 1);
}

TEST_F(RedisStoreTest, NothingAnsweredIsLostWhenRedisIsKilledAndItServesAgainAfterARestart) {
    RedisProcess& redis = StartRedis();
    ServerProcess& server = StartInstance({"--submit-rate", "0", "--metrics-bind", "127.0.0.1:0"});
    const int health_port = FindMetricsPort(server);
    constexpr int Submissions = 60;
    for (int i = 0; i < Submissions; ++i) {
        ASSERT_EQ(GetFrom(server, "127.0.0.2", SubmitTarget(i * 10, "Kill" + std::to_string(i))).body, "OK");
    }
    const std::string before = GetFrom(server, "127.0.0.2", "/BestOffSQL.php").body;
    redis.Kill();

    const Clock::time_point start = Clock::now();
    EXPECT_EQ(GetFrom(server, "127.0.0.2", SubmitTarget(1, "Gone")).status, 503);
    EXPECT_LT(Clock::now() - start, 3s) << "refused connections are told at once";
    EXPECT_EQ(GetFrom(server, "127.0.0.2", "/BestOffSQL.php").status, 503);

    redis.Start();
    const Clock::duration back = AwaitServing([&] { return GetFromPort(health_port, "/healthz").status == 200; }, 20s);
    EXPECT_LT(back, 6s) << "the promise is 3 s";
    EXPECT_EQ(GetFrom(server, "127.0.0.2", "/BestOffSQL.php").body, before);
    EXPECT_EQ(FirstNumber(before), Submissions);
    // Redis lost its scripts with the restart: they are sent again.
    EXPECT_EQ(GetFrom(server, "127.0.0.4", SubmitTarget(5, "Again")).body, "OK");
    EXPECT_EQ(FirstNumber(GetFrom(server, "127.0.0.2", "/BestOffSQL.php").body), Submissions + 1);
}

// Keys damaged by hand or by another program are a storage error for every request that
// meets them, and the server goes on.
TEST_F(RedisStoreTest, RepliesOfAnUnexpectedTypeOrSizeAreAStorageError) {
    RedisProcess& redis = StartRedis();
    ServerProcess& server = StartInstance({"--submit-rate", "0", "--metrics-bind", "127.0.0.1:0"});
    ASSERT_EQ(GetFrom(server, "127.0.0.2", SubmitTarget(300, "Anna")).body, "OK");
    const std::string saved_entry = "300 1700000000 8 01.01.24Anna";
    const std::string member = redis::RankMember(300, 1);
    const std::vector<const char*> every_read{"/BestOffSQL.php", "/ListeSQL.php?Punkte=300", "/api/v1/scores", "/"};
    struct Damage {
        std::vector<std::string> command;
        std::vector<const char*> targets;  // the requests that meet it
    };
    const std::vector<Damage> damages{
        // The ranks set's members carry the records the game's reads answer with.
        {{"ZADD", "zorblet:ranks", "0", member + "not an entry"}, every_read},
        {{"ZADD", "zorblet:ranks", "0", member + "300 1 99 short"}, every_read},
        {{"ZADD", "zorblet:ranks", "0", member + "299 1700000000 8 01.01.24Anna"}, every_read},
        {{"ZADD", "zorblet:ranks", "0", member}, every_read},
        {{"ZADD", "zorblet:ranks", "0", "zz"}, every_read},
        {{"SET", "zorblet:version", "many"}, every_read},
        // The hash is read for the newest entries on the page.
        {{"HSET", "zorblet:entries", "1", "not an entry"}, {"/"}},
        {{"HSET", "zorblet:entries", "1", "300 1 99 short"}, {"/"}},
    };
    for (const auto& damage : damages) {
        SCOPED_TRACE(damage.command[1] + " " + damage.command.back());
        std::vector<std::vector<std::string>> reset{{"DEL", "zorblet:ranks", "zorblet:version"},
                                                    {"ZADD", "zorblet:ranks", "0", member + saved_entry},
                                                    {"HSET", "zorblet:entries", "1", saved_entry},
                                                    damage.command};
        redis.link().Pipeline(reset);
        for (const char* target : damage.targets) {
            EXPECT_EQ(GetFrom(server, "127.0.0.2", target).status, 503) << target;
        }
    }
    // A submission that meets a damaged key writes nothing at all, so its resend is stored.
    const std::vector<std::vector<std::string>> wrong_type{{"DEL", "zorblet:ranks"}, {"SET", "zorblet:ranks", "x"}};
    redis.link().Pipeline(wrong_type);
    const auto count_keys = [&] {
        const std::vector<std::vector<std::string>> counts{{"DBSIZE"}, {"GET", "zorblet:next-id"}, {"HLEN", "zorblet:entries"}};
        std::string described;
        for (const RedisReply& reply : redis.link().Pipeline(counts)) described += std::to_string(IntegerOf(*reply)) + " ";
        return described;
    };
    const std::string untouched = count_keys();
    EXPECT_EQ(GetFrom(server, "127.0.0.3", SubmitTarget(5, "Bert")).status, 503);
    EXPECT_EQ(count_keys(), untouched);
    EXPECT_EQ(GetFrom(server, "127.0.0.3", "/BestOffSQL.php").status, 503);
    EXPECT_EQ(GetFromPort(FindMetricsPort(server), "/healthz").status, 200) << "Redis itself answers";

    const std::vector<std::vector<std::string>> mended{{"DEL", "zorblet:ranks", "zorblet:version"}, {"SCRIPT", "FLUSH"}};
    redis.link().Pipeline(mended);
    EXPECT_EQ(GetFrom(server, "127.0.0.3", SubmitTarget(5, "Bert")).body, "OK");
    EXPECT_EQ(FirstNumber(GetFrom(server, "127.0.0.3", "/BestOffSQL.php").body), 1);
}

}  // namespace
}  // namespace zorblet::server::testing

namespace zorblet::server::testing {
namespace {

const std::vector<std::int32_t> HistoryPoints{-2147483647 - 1, -7, 0, 250, 250, 250, 1000, 5000, 2147483647};
const std::vector<std::string> HistoryNames{"Anna", "anton", "ANDREA", "\xd6mer", "\xf6zil", "Bert", "Zo\xeb", "x"};

// Every read the players and the operators have, through `server` and its admin socket.
// The time an entry was stored and the time of a moderation are the moment each service
// acted, so they are left out unless the entries were copied.
std::vector<std::string> ReadEverything(const ServerProcess& server, const std::filesystem::path& socket,
                                        bool with_times) {
    std::vector<std::string> targets{"/BestOffSQL.php",      "/api/v1/scores?from=1&count=100",
                                     "/api/v1/scores?from=40&count=7", "/api/v1/place?points=250",
                                     "/api/v1/search?name=an", "/api/v1/search?name=%C3%B6",
                                     "/",                     "/?punkte=250",
                                     "/?name=AN",             "/?ab=3",
                                     "/api/v1/scores?verified=1", "/?geprueft=1",
                                     "/api/v1/search?name=an&verified=1"};
    for (std::int32_t points : HistoryPoints) targets.push_back("/ListeSQL.php?Punkte=" + std::to_string(points));
    targets.push_back("/ListeSQL.php?Punkte=300");
    std::vector<std::string> replies;
    for (const std::string& target : targets) replies.push_back(target + " " + DescribeReply(GetFrom(server, "127.0.0.250", target)));
    const auto listed = [&](std::vector<std::string> arguments) {
        const std::string out = Admin(socket, std::move(arguments));
        return with_times ? out : DropLastColumns(out, 1);
    };
    replies.push_back(listed({"list"}));
    replies.push_back(listed({"list", "--removed"}));
    replies.push_back(listed({"list", "--name", "an", "--places", "2-40"}));
    const std::string log = Admin(socket, {"log"});
    replies.push_back(with_times ? log : DropFirstColumn(log));
    return replies;
}

// One random history with ties, repeats, limit hits, refused and malformed submissions,
// removals and restores (of known and unknown ids), sent step by step to the SQLite
// service and to one of two instances on Redis in turn: every answer is the same.
TEST_F(RedisStoreTest, AnswersByteForByteAsSqliteThroughAHistory) {
    StartRedis();
    const std::vector<std::string> limited{"--submit-rate", "2"};
    const auto with_socket = [&](const std::string& name) {
        std::vector<std::string> arguments = limited;
        arguments.insert(arguments.end(), {"--admin-socket", Socket(name).string()});
        return arguments;
    };
    const std::filesystem::path key_file = directory_.path() / "game-key";
    const std::array<std::uint8_t, 32> key_bytes = WriteKnownGameKey(key_file);
    const TicketKey key{std::span<const std::uint8_t, 32>(key_bytes)};
    // The viewer's files, so that the pages link kept games and show them.
    const std::filesystem::path viewer = directory_.path() / "viewer";
    std::filesystem::create_directories(viewer);
    for (const char* file : {"zorblet-viewer.js", "zorblet-viewer.css", "zorblet-viewer-module.js",
                             "zorblet-viewer-module.wasm", "zorblet-glyphs.bin"}) {
        std::ofstream(viewer / file, std::ios::binary) << file;
    }
    const auto with_key = [&](const std::string& name) {
        std::vector<std::string> arguments = with_socket(name);
        arguments.insert(arguments.end(), {"--game-key-file", key_file.string(), "--keep-games", "3",
                                           "--viewer-dir", viewer.string()});
        return arguments;
    };
    ServerProcess& sqlite = StartSqliteService(with_key("sqlite"));
    ServerProcess* instances[] = {&StartInstance(with_key("first")), &StartInstance(with_key("second"))};
    const std::filesystem::path sockets[] = {Socket("first"), Socket("second")};
    // Recorded games, each sent with a fresh ticket, sent again, or with a used one.
    std::vector<record::GameRecord> games;
    for (std::uint32_t seed = 1; seed <= 6; ++seed) games.push_back(PlayedGame(300 + 200 * seed, seed * 977));
    std::vector<std::string> sent_games;
    std::vector<std::string> used_tickets;
    std::vector<std::int64_t> stored_ids;

    std::mt19937 random(17);
    const auto pick = [&](std::size_t count) { return static_cast<std::size_t>(random() % count); };
    std::string last_source;
    std::string last_target;
    int submissions = 0;
    constexpr int Steps = 160;
    for (int step = 0; step < Steps; ++step) {
        const std::size_t via = step % 2;
        const std::size_t kind = pick(20);
        if (kind < 3) {
            // A moderation of up to three ids, some of them perhaps not given out yet.
            std::vector<std::string> arguments{kind == 2 ? "restore" : "remove"};
            for (std::size_t n = 0; n <= pick(3); ++n) arguments.push_back(std::to_string(1 + pick(submissions + 3)));
            if (kind != 2) arguments.insert(arguments.end(), {"--reason", "step " + std::to_string(step)});
            ASSERT_EQ(Admin(Socket("sqlite"), arguments), Admin(sockets[via], arguments)) << "step " << step;
            continue;
        }
        std::string source = "127.0.0." + std::to_string(10 + pick(12));
        if (kind >= 13) {
            // A recorded game: new (15 and up), a resend (14), or another game on a used ticket (13).
            const record::GameRecord& game = games[pick(games.size())];
            std::string body;
            if (kind == 14 && !sent_games.empty()) {
                body = sent_games[pick(sent_games.size())];
            } else if (kind == 13 && !used_tickets.empty()) {
                body = RecordWithTicket(game, used_tickets[pick(used_tickets.size())]);
            } else {
                const std::string ticket = SignTicket(key, static_cast<std::uint32_t>(game.Seed));
                body = RecordWithTicket(game, ticket);
                used_tickets.push_back(ticket);
                sent_games.push_back(body);
            }
            const std::string target = "/api/v1/games?name=" + std::string(pick(2) == 0 ? "Anna" : "Bert");
            const HttpReply expected = PostFrom(sqlite, source, target, body);
            ASSERT_EQ(DescribeReply(expected), DescribeReply(PostFrom(*instances[via], source, target, body)))
                << "step " << step << " " << target;
            if (expected.status == 201) stored_ids.push_back(std::stoll(expected.body.substr(7)));
            ++submissions;
            continue;
        }
        std::string target;
        if (kind == 3 && !last_target.empty()) {
            source = last_source;  // a resend
            target = last_target;
        } else if (kind == 4) {
            target = "/HighScoreSQL.php?Punkte=" + std::to_string(pick(100)) + "&Name=Mal&Check=1";
        } else {
            target = SubmitTarget(HistoryPoints[pick(HistoryPoints.size())], HistoryNames[pick(HistoryNames.size())]);
        }
        last_source = source;
        last_target = target;
        ++submissions;
        const std::string expected = DescribeReply(GetFrom(sqlite, source, target));
        ASSERT_EQ(expected, DescribeReply(GetFrom(*instances[via], source, target))) << "step " << step << " " << target;
        if (step % 40 == 39 || step == Steps - 1) {
            ASSERT_EQ(ReadEverything(sqlite, Socket("sqlite"), false), ReadEverything(*instances[via], sockets[via], false))
                << "after step " << step;
        }
    }
    // The kept records: the best three verified and the newest, alike in both.
    for (std::int64_t id : stored_ids) {
        for (const std::string& target : {"/api/v1/games/" + std::to_string(id), "/partie/" + std::to_string(id)}) {
            EXPECT_EQ(DescribeReply(GetFrom(sqlite, "127.0.0.250", target)),
                      DescribeReply(GetFrom(*instances[0], "127.0.0.250", target))) << target;
        }
    }
    const std::string list = GetFrom(sqlite, "127.0.0.250", "/").body;
    EXPECT_EQ(list, GetFrom(*instances[0], "127.0.0.250", "/").body);
    EXPECT_NE(list.find("class=\"ansehen\""), std::string::npos) << "the list links kept games";
    EXPECT_GE(stored_ids.size(), 3u);
    // The history held what it should: stored entries, limit hits, removals.
    const std::string log = sqlite.ReadLog();
    EXPECT_NE(log.find("\" 429 "), std::string::npos);
    EXPECT_NE(Admin(Socket("sqlite"), {"list", "--removed"}), "0\nend\n");
    EXPECT_GT(FirstNumber(GetFrom(sqlite, "127.0.0.250", "/BestOffSQL.php").body), 10);
}

// Seeds an SQLite list of a few thousand entries, many of equal points, some removed and
// one of those restored.
void SeedTiedList(const std::filesystem::path& database) {
    SqliteScoreBoard board(database);
    std::mt19937 random(5);
    std::vector<ScoreEntry> entries;
    for (int i = 0; i < 3000; ++i) {
        entries.push_back({static_cast<std::int32_t>(random() % 40) * 25 - 100,
                           HistoryNames[random() % HistoryNames.size()] + std::to_string(i % 7),
                           i % 3 == 0 ? "01.02.24" : "17.11.25"});
    }
    board.AddEntries(entries);
    const std::vector<std::int64_t> removed{7, 8, 1500, 2999};
    board.RemoveEntries(removed, "copied along");
    const std::vector<std::int64_t> restored{8};
    board.RestoreEntries(restored);
    // Verified games with their records and tickets, one of them removed with its record.
    for (int i = 0; i < 3; ++i) {
        const VerifiedGame game{{500 + 25 * i, "Gepr\xfc" "ft" + std::to_string(i), "17.11.25", true},
                                "record " + std::to_string(i),
                                {"ticket" + std::to_string(i), "digest" + std::to_string(i), 0, UnixNow() + 3600}};
        board.AddGame(game, 0);
    }
    const std::vector<std::int64_t> removed_game{3001};
    board.RemoveEntries(removed_game, "copied along");
}

// The script's allowance, run on the times of the table the guard of a service alone on
// its list is tested on: both decide every case alike.
TEST_F(RedisStoreTest, TheScriptsAllowanceDecidesTheTableAsTheGuardDoes) {
    RedisProcess& redis = StartRedis();
    const std::string take = std::string(redis::ScriptFunctions()) +
                             "return take_allowance(KEYS[1], tonumber(ARGV[1]), tonumber(ARGV[2])) and 1 or 0\n";
    RedisLink link({{"127.0.0.1", redis.port(), {}, 0}, {}, 5s}, {take});
    constexpr std::int64_t StartMicroseconds = 1'700'000'000'000'000;
    int number = 0;
    for (const AllowanceCase& c : AllowanceCases()) {
        ++number;
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const AllowanceStep& step = c.steps[i];
            const std::vector<std::string> keys{"test:allowance:" + std::to_string(number) + ":" + step.address};
            const std::vector<std::string> arguments{std::to_string(c.per_minute),
                                                     std::to_string(StartMicroseconds + step.at_ms * 1000)};
            EXPECT_EQ(IntegerOf(*link.RunScript(0, keys, arguments)) == 1, step.allowed) << c.name << ", step " << i;
        }
    }
}

TEST_F(RedisStoreTest, CopyToRedisKeepsEveryReplyAndAnotherRunChangesNothing) {
    RedisProcess& redis = StartRedis();
    const std::filesystem::path database = directory_.path() / "scores.sqlite";
    SeedTiedList(database);
    // The service goes on serving from the file while the copy reads it.
    ServerProcess& sqlite = StartSqliteService({"--submit-rate", "0", "--admin-socket", Socket("sqlite").string()});
    const CommandOutcome copied = RunServerCommand({"--db", database.string(), "--copy-to", redis.Address()});
    ASSERT_EQ(copied.exit_status, 0) << copied.err;
    ServerProcess& instance = StartInstance({"--submit-rate", "0", "--admin-socket", Socket("redis").string()});
    EXPECT_EQ(ReadEverything(sqlite, Socket("sqlite"), true), ReadEverything(instance, Socket("redis"), true));
    for (const char* target : {"/api/v1/games/3001", "/api/v1/games/3002", "/api/v1/games/3003"}) {
        EXPECT_EQ(DescribeReply(GetFrom(sqlite, "127.0.0.2", target)), DescribeReply(GetFrom(instance, "127.0.0.2", target)))
            << target;
    }
    EXPECT_EQ(DescribeReply(GetFrom(instance, "127.0.0.2", "/api/v1/games/3003")), "200\nrecord 2");
    const std::vector<std::vector<std::string>> ticket{{"GET", "zorblet:ticket:ticket1"}};
    EXPECT_EQ(TextOf(*redis.link().Pipeline(ticket).front()), "digest1 3002");

    // Redis keeps its own copies: a backup is refused with how to take one there.
    const std::filesystem::path backup = directory_.path() / "backup.sqlite";
    const std::string refused_backup = Admin(Socket("redis"), {"backup", backup.string()});
    EXPECT_FALSE(refused_backup.starts_with("0\n")) << refused_backup;
    EXPECT_NE(refused_backup.find("BGSAVE"), std::string::npos) << refused_backup;
    EXPECT_FALSE(std::filesystem::exists(backup));

    // Again: all there, nothing written, not even the version.
    const std::string before = DescribeRedisList(redis.link());
    const CommandOutcome again = RunServerCommand({"--db", database.string(), "--copy-to", redis.Address()});
    EXPECT_EQ(again.exit_status, 0) << again.err;
    EXPECT_NE(again.err.find("nothing written"), std::string::npos) << again.err;
    EXPECT_EQ(DescribeRedisList(redis.link()), before);

    // A score stored later ranks after the copied ones of equal points.
    const std::int64_t place = FirstNumber(GetFrom(instance, "127.0.0.2", "/ListeSQL.php?Punkte=400").body);
    ASSERT_EQ(GetFrom(instance, "127.0.0.2", SubmitTarget(400, "Later")).body, "OK");
    const std::string at_place = Admin(Socket("redis"), {"list", "--places", std::to_string(place) + "-" + std::to_string(place)});
    EXPECT_NE(at_place.find("\t400\tLater\t"), std::string::npos) << at_place;

    // Into a list that holds other entries: refused, and nothing changes.
    const std::string moved_on = DescribeRedisList(redis.link());
    const std::filesystem::path other = directory_.path() / "other.sqlite";
    { SqliteScoreBoard(other).AddEntry({1, "Other", "01.01.25"}); }
    const CommandOutcome refused = RunServerCommand({"--db", other.string(), "--copy-to", redis.Address()});
    EXPECT_NE(refused.exit_status, 0);
    EXPECT_NE(refused.err.find("nothing was copied"), std::string::npos) << refused.err;
    EXPECT_EQ(DescribeRedisList(redis.link()), moved_on);
}

}  // namespace
}  // namespace zorblet::server::testing
