// Recorded games against the real service: a game played on a ticket is stored verified at
// the points its replay gives, sent again it is answered with its first entry, and every
// kind of forgery, damage or abuse is refused with its code, nothing stored and counted.

#include <nlohmann/json.hpp>
#include <zlib.h>

#include <chrono>
#include <fstream>
#include <atomic>
#include <future>
#include <thread>

#include "record/record_format.h"
#include "replay/record_player.h"
#include "played_games.h"
#include "protocol/game_submissions.h"
#include "protocol/submit_guard.h"
#include "server_test.h"
#include "store/sqlite/sqlite_score_board.h"
#include "ticket/game_ticket.h"
#include "web/game_api.h"

namespace zorblet::server::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;
using nlohmann::json;

std::int64_t Now() {
    return UnixNow();
}

// The game with one mouse reading changed, the first after the countdown whose change
// its replay shows (in the points, or in where the game ends): a reading that changes
// nothing is the same game. `error` is what the service should answer.
record::GameRecord WithOneReadingChanged(const record::GameRecord& game, std::string& error) {
    for (std::size_t frame = 310; frame < game.Frames.size(); ++frame) {
        for (const std::int32_t change : {60, -60, 300, -300}) {
            record::GameRecord changed = game;
            changed.Frames[frame].DeltaX += change;
            const replay::ReplayedGame replayed = replay::ReplayGame(changed, false);
            if (replayed.Course != replay::CourseProblem::None) {
                error = "record-malformed";
                return changed;
            }
            if (replayed.Score != game.Score) {
                error = "replay-mismatch";
                return changed;
            }
        }
    }
    ADD_FAILURE() << "no reading changes the game";
    return game;
}

std::string TextOf(const Bytes& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

class GameSubmissionTest : public ServerTest {
protected:
    void SetUp() override { key_bytes_ = WriteKnownGameKey(KeyFile()); }

    std::filesystem::path KeyFile() const { return directory_.path() / "game-key"; }

    void Start(std::vector<std::string> more = {}) {
        std::vector<std::string> arguments{"--submit-rate", "0", "--game-key-file", KeyFile().string(),
                                           "--metrics-bind", "127.0.0.1:0"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        StartServer(arguments);
    }

    TicketKey Key() const { return TicketKey(std::span<const std::uint8_t, 32>(key_bytes_)); }

    // A ticket for `seed` signed with the known key, issued `age` seconds ago.
    std::string Ticket(std::uint32_t seed, std::int64_t age = 0, const TicketKey* key = nullptr) const {
        GameTicket ticket = IssueTicket(Now() - age);
        ticket.seed = seed;
        return (key != nullptr ? *key : Key()).Sign(ticket);
    }

    static Bytes WithTicket(record::GameRecord game, const std::string& ticket) {
        game.Ticket.assign(ticket.begin(), ticket.end());
        return record::EncodeRecord(game);
    }

    HttpReply Send(const Bytes& record, const std::string& name = "Anna") const {
        return server_->Send("/api/v1/games?name=" + name, TextOf(record));
    }

    std::int64_t Metric(const std::string& sample) const {
        const std::string text = GetFromPort(FindMetricsPort(*server_), "/metrics").body;
        const std::size_t at = text.find(sample + " ");
        return at == std::string::npos ? -1 : std::stoll(text.substr(at + sample.size() + 1));
    }

    std::array<std::uint8_t, 32> key_bytes_{};
};

TEST_F(GameSubmissionTest, ATicketsGameIsStoredVerifiedAtItsReplayedScoreAndAResendIsAnsweredWithItsEntry) {
    Start();
    const HttpReply issued = server_->Send("/api/v1/games/new", "");
    ASSERT_EQ(issued.status, 200) << issued.body;
    const json ticket = json::parse(issued.body);
    ASSERT_TRUE(ticket["ticket"].is_string());
    EXPECT_EQ(ticket["ticket"].get<std::string>().size(), TicketTextLength);
    EXPECT_TRUE(ticket["expires"].get<std::string>().ends_with("Z"));
    EXPECT_EQ(Key().Read(ticket["ticket"].get<std::string>()).ticket->seed, ticket["seed"].get<std::uint32_t>());
    EXPECT_EQ(server_->Get("/api/v1/games/new").status, 405);

    const record::GameRecord game = PlayedGame(2400, ticket["seed"].get<std::uint32_t>());
    const Bytes record = WithTicket(game, ticket["ticket"].get<std::string>());
    const HttpReply stored = Send(record, "J%C3%BCrgen");
    ASSERT_EQ(stored.status, 201) << stored.body;
    const json entry = json::parse(stored.body);
    EXPECT_EQ(entry["points"], game.Score);
    EXPECT_EQ(entry["place"], 1);
    EXPECT_EQ(entry["verified"], true);

    const HttpReply again = Send(record, "J%C3%BCrgen");
    EXPECT_EQ(again.status, 200) << again.body;
    EXPECT_EQ(json::parse(again.body)["id"], entry["id"]);
    EXPECT_EQ(CountEntries(), 1);

    const json scores = json::parse(server_->Get("/api/v1/scores").body);
    ASSERT_EQ(scores["entries"].size(), 1u) << scores.dump();
    EXPECT_EQ(scores["entries"][0]["id"], entry["id"]);
    EXPECT_EQ(scores["entries"][0]["verified"], true);
    EXPECT_EQ(scores["entries"][0]["name"], "Jürgen");

    const HttpReply kept = server_->Get("/api/v1/games/" + std::to_string(entry["id"].get<std::int64_t>()));
    EXPECT_EQ(kept.status, 200);
    EXPECT_EQ(kept.content_type, "application/octet-stream");
    EXPECT_EQ(kept.body, TextOf(record));
    EXPECT_NE(kept.Header("Cache-Control").find("immutable"), std::string::npos);
    EXPECT_EQ(server_->Get("/api/v1/games/999").status, 404);
    EXPECT_EQ(Metric(R"(zorblet_submissions_total{outcome="verified"})"), 2);
    EXPECT_EQ(Metric("zorblet_replay_seconds_count"), 1);
}

// The list links a kept verified game to its page, which plays the record the API serves;
// an entry without a kept record (sent by the seed's request) gets neither link nor page.
TEST_F(GameSubmissionTest, AKeptVerifiedGameIsLinkedFromTheListToItsWatchPage) {
    const std::filesystem::path viewer = directory_.path() / "viewer";
    std::filesystem::create_directories(viewer);
    for (const char* name : {"zorblet-viewer.js", "zorblet-viewer.css", "zorblet-viewer-module.js",
                             "zorblet-viewer-module.wasm", "zorblet-glyphs.bin"}) {
        std::ofstream(viewer / name, std::ios::binary) << "contents of " << name;
    }
    Start({"--viewer-dir", viewer.string()});
    const json issued = json::parse(server_->Send("/api/v1/games/new", "").body);
    const record::GameRecord game = PlayedGame(2400, issued["seed"].get<std::uint32_t>());
    const HttpReply stored = Send(WithTicket(game, issued["ticket"].get<std::string>()), "Anna");
    ASSERT_EQ(stored.status, 201) << stored.body;
    const std::string id = std::to_string(json::parse(stored.body)["id"].get<std::int64_t>());
    ASSERT_EQ(server_->Get(SubmitTarget(game.Score + 1, "Bert")).status, 200);
    const json entries = json::parse(server_->Get("/api/v1/scores").body)["entries"];
    ASSERT_EQ(entries.size(), 2u);
    const std::string unkept = std::to_string(entries[0]["id"].get<std::int64_t>());

    const std::string list = server_->Get("/").body;
    EXPECT_NE(list.find("href=\"/partie/" + id + "\""), std::string::npos) << list;
    EXPECT_EQ(list.find("href=\"/partie/" + unkept + "\""), std::string::npos) << list;
    const HttpReply page = server_->Get("/partie/" + id);
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("data-record=\"/api/v1/games/" + id + "\""), std::string::npos) << page.body;
    EXPECT_NE(page.body.find("Anna"), std::string::npos);
    EXPECT_NE(page.Header("Content-Security-Policy").find("'wasm-unsafe-eval'"), std::string::npos);
    EXPECT_EQ(server_->Get("/partie/" + unkept).status, 404);
    EXPECT_EQ(server_->Get("/partie/" + id + "0").status, 404);
}

// With one replay thread and room for one game in the queue, games sent at once while a
// long one replays are answered 503 with Retry-After and the refusal's JSON, and stored
// never twice.
TEST_F(GameSubmissionTest, GamesBeyondAFullReplayQueueAreAnsweredBusyWithRetryAfter) {
    Start({"--replay-threads", "1", "--replay-queue", "1"});
    int busy = 0;
    int stored = 0;
    // A round sends one new ten-minute game eight times at once; on a slow machine the
    // first replay may end before the others arrive, so a few rounds are allowed.
    for (std::uint32_t round = 1; round <= 5 && busy == 0; ++round) {
        const record::GameRecord game = PlayedGame(72'600, 20261211 + round);
        const Bytes record = WithTicket(game, Ticket(20261211 + round));
        std::vector<std::future<HttpReply>> sent;
        for (int i = 0; i < 8; ++i) sent.push_back(std::async(std::launch::async, [&] { return Send(record); }));
        for (std::future<HttpReply>& reply : sent) {
            const HttpReply answer = reply.get();
            if (answer.status == 503) {
                ++busy;
                EXPECT_FALSE(answer.Header("Retry-After").empty());
                EXPECT_EQ(json::parse(answer.body, nullptr, false)["error"], "busy") << answer.body;
            } else {
                stored += answer.status == 201;
                EXPECT_TRUE(answer.status == 201 || answer.status == 200) << answer.status << " " << answer.body;
            }
        }
        EXPECT_EQ(CountEntries(), round) << "each game stored once";
    }
    EXPECT_GE(busy, 1);
    EXPECT_EQ(CountEntries(), stored);
    EXPECT_EQ(Metric(R"(zorblet_submissions_total{outcome="queue_full"})"), busy);
}

// The hostile cases of the record format, written out as its reader's tests do.
Bytes Frame(const Bytes& body, std::uint16_t version) {
    Bytes file{'Z', 'R', 'E', 'C', static_cast<std::uint8_t>(version), static_cast<std::uint8_t>(version >> 8)};
    for (int i = 0; i < 4; ++i) file.push_back(static_cast<std::uint8_t>(body.size() >> (8 * i)));
    file.insert(file.end(), body.begin(), body.end());
    const auto crc = static_cast<std::uint32_t>(crc32_z(0, file.data(), file.size()));
    for (int i = 0; i < 4; ++i) file.push_back(static_cast<std::uint8_t>(crc >> (8 * i)));
    return file;
}

Bytes Deflate(const Bytes& payload) {
    uLongf size = compressBound(payload.size());
    Bytes out(size);
    compress2(out.data(), &size, payload.data(), payload.size(), 9);
    out.resize(size);
    return out;
}

// Rules 1, seed 0, `frames` frames, score 0, game over, no ticket: the payload's head.
Bytes Head(std::uint32_t frames) {
    Bytes head{1, 0, 0, 0, 0, 0, 0, 0, 0};
    for (std::uint32_t value = frames;; value >>= 7) {
        head.push_back(static_cast<std::uint8_t>((value & 0x7f) | (value > 0x7f ? 0x80 : 0)));
        if (value <= 0x7f) break;
    }
    head.insert(head.end(), {0, 0, 0});
    return head;
}

struct Refusal {
    std::string name;
    int status;
    std::string error;
    std::string metric;
};

TEST_F(GameSubmissionTest, EveryForgeryDamageAndAbuseIsRefusedWithItsReasonAndNothingIsStored) {
    std::ofstream(directory_.path() / "refused.txt") << "schurke\n";
    Start({"--refuse-names", (directory_.path() / "refused.txt").string()});
    constexpr std::uint32_t Seed = 4242;
    const record::GameRecord game = PlayedGame(1200, Seed);
    const Bytes good = WithTicket(game, Ticket(Seed));
    const TicketKey other_key = TicketKey::Generate();

    record::GameRecord higher = game;
    higher.Score += 100;
    std::string nudged_error;
    const record::GameRecord nudged = WithOneReadingChanged(game, nudged_error);
    std::string forged = Ticket(Seed);
    forged[TicketTextLength - 3] = forged[TicketTextLength - 3] == 'A' ? 'B' : 'A';
    Bytes flipped = good;
    flipped[flipped.size() / 2] ^= 0x10;
    const Bytes truncated(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2));

    // The reused ticket: a first game stored with it, then another record with it.
    const std::string used = Ticket(Seed);
    ASSERT_EQ(Send(WithTicket(game, used)).status, 201);
    const std::int64_t stored = CountEntries();

    const std::vector<std::pair<Refusal, Bytes>> cases{
        {{"score changed", 422, "replay-mismatch", "replay_mismatch"}, WithTicket(higher, Ticket(Seed))},
        {{"one mouse reading changed", 422, nudged_error, ""}, WithTicket(nudged, Ticket(Seed))},
        {{"forged ticket", 403, "ticket-invalid", "ticket_invalid"}, WithTicket(game, forged)},
        {{"ticket of another key", 403, "ticket-invalid", "ticket_invalid"}, WithTicket(game, Ticket(Seed, 0, &other_key))},
        {{"no ticket", 403, "ticket-invalid", "ticket_invalid"}, WithTicket(game, "")},
        {{"seed not the ticket's", 403, "ticket-invalid", "ticket_invalid"}, WithTicket(game, Ticket(Seed + 1))},
        {{"expired ticket", 403, "ticket-expired", "ticket_expired"}, WithTicket(game, Ticket(Seed, TicketLifetimeSeconds + 5))},
        {{"reused ticket", 409, "ticket-reused", "ticket_reused"}, WithTicket(higher, used)},
        {{"frame count over the limit", 422, "record-malformed", "record_malformed"},
         Frame(Deflate(Head(record::MaxFrames + 1)), 1)},
        {{"compression bomb", 422, "record-malformed", "record_malformed"},
         Frame(Deflate([] { Bytes b = Head(1000); b.resize(b.size() + 4'000'000, 0); return b; }()), 1)},
        {{"truncated", 422, "record-malformed", "record_malformed"}, truncated},
        {{"bit flipped", 422, "record-malformed", "record_malformed"}, flipped},
        {{"future version", 422, "record-malformed", "record_malformed"}, Frame(Deflate(Head(10)), 2)},
        {{"not a record", 422, "record-malformed", "record_malformed"}, Bytes{'h', 'e', 'l', 'l', 'o'}},
    };
    for (const auto& [refusal, bytes] : cases) {
        const HttpReply reply = Send(bytes);
        EXPECT_EQ(reply.status, refusal.status) << refusal.name << ": " << reply.body;
        ASSERT_EQ(reply.content_type, "application/json; charset=utf-8") << refusal.name;
        const json body = json::parse(reply.body);
        EXPECT_EQ(body.value("error", ""), refusal.error) << refusal.name;
        EXPECT_FALSE(body.value("text", "").empty()) << refusal.name;
    }
    EXPECT_EQ(Send(good, "Schurke99").status, 403);
    EXPECT_EQ(Send(good, "").status, 400);
    EXPECT_EQ(Send(good, "%FF").status, 400);
    const HttpReply too_large = server_->Send("/api/v1/games?name=Anna", std::string(MaxRecordBytes + 1, 'x'));
    EXPECT_EQ(too_large.status, 413);
    EXPECT_EQ(json::parse(too_large.body).value("error", ""), "record-too-large") << too_large.body;
    EXPECT_EQ(server_->Get("/api/v1/games?name=Anna").status, 405);

    EXPECT_EQ(CountEntries(), stored);
    EXPECT_EQ(json::parse(server_->Get("/api/v1/scores").body)["total"], stored);
    const int nudged_mismatch = nudged_error == "replay-mismatch" ? 1 : 0;
    EXPECT_EQ(Metric(R"(zorblet_submissions_total{outcome="replay_mismatch"})"), 1 + nudged_mismatch);
    EXPECT_EQ(Metric(R"(zorblet_submissions_total{outcome="ticket_invalid"})"), 4);
    EXPECT_EQ(Metric(R"(zorblet_submissions_total{outcome="ticket_expired"})"), 1);
    EXPECT_EQ(Metric(R"(zorblet_submissions_total{outcome="ticket_reused"})"), 1);
    EXPECT_EQ(Metric(R"(zorblet_submissions_total{outcome="record_malformed"})"), 7 - nudged_mismatch);
    EXPECT_EQ(Metric(R"(zorblet_submissions_total{outcome="refused_name"})"), 1);
}

TEST_F(GameSubmissionTest, GamesAndTicketsEachHaveTheAddressAllowanceAndAnswer429WhenItIsUsedUp) {
    Start({"--submit-rate", "2"});
    for (int i = 0; i < 2; ++i) EXPECT_EQ(server_->Send("/api/v1/games/new", "").status, 200);
    EXPECT_EQ(server_->Send("/api/v1/games/new", "").status, 429);
    const Bytes bytes = WithTicket(PlayedGame(600, 7), Ticket(7));
    EXPECT_EQ(Send(bytes).status, 201);
    EXPECT_EQ(Send(Bytes{1, 2, 3}).status, 422);
    const HttpReply limited = Send(bytes);
    EXPECT_EQ(limited.status, 429);
    EXPECT_EQ(json::parse(limited.body)["error"], "rate-limited");
    EXPECT_FALSE(limited.Header("Retry-After").empty());
}

TEST_F(GameSubmissionTest, WithUnverifiedRefusedTheSeedsRequestIsForbiddenAndStoresNothing) {
    Start({"--unverified", "refuse"});
    const HttpReply refused = server_->Get(SubmitTarget(500, "Anna"));
    EXPECT_EQ(refused.status, 403);
    EXPECT_NE(refused.body.find("gepr\xFC" "fte"), std::string::npos) << refused.body;
    EXPECT_EQ(CountEntries(), 0);
    EXPECT_EQ(Send(WithTicket(PlayedGame(600, 9), Ticket(9))).status, 201);
    EXPECT_EQ(CountEntries(), 1);
}

TEST_F(GameSubmissionTest, ScoresOfTheSeedsRequestAreStoredUnverifiedAndTheFilterLeavesThemOut) {
    Start();
    EXPECT_EQ(server_->Get(SubmitTarget(999999, "Alt")).status, 200);
    ASSERT_EQ(Send(WithTicket(PlayedGame(600, 11), Ticket(11)), "Neu").status, 201);
    const json all = json::parse(server_->Get("/api/v1/scores").body);
    ASSERT_EQ(all["entries"].size(), 2u);
    EXPECT_EQ(all["entries"][0]["verified"], false);
    EXPECT_EQ(all["entries"][1]["verified"], true);
    const json verified = json::parse(server_->Get("/api/v1/scores?verified=1").body);
    ASSERT_EQ(verified["entries"].size(), 1u) << verified.dump();
    EXPECT_EQ(verified["entries"][0]["name"], "Neu");
    EXPECT_EQ(verified["entries"][0]["place"], 1);
    const std::string page = server_->Get("/?geprueft=1").body;
    EXPECT_NE(page.find("Neu"), std::string::npos);
    EXPECT_EQ(page.find(">Alt<"), std::string::npos);
    EXPECT_NE(server_->Get("/").body.find("geprüft"), std::string::npos);
}

TEST_F(GameSubmissionTest, AKeyFileOpenToOthersOrOfTheWrongSizeIsRefusedAtStart) {
    std::filesystem::permissions(KeyFile(), std::filesystem::perms::group_read, std::filesystem::perm_options::add);
    const CommandOutcome wide = RunServerCommand({"--db", Database().string(), "--game-key-file", KeyFile().string(),
                                                  "--port", "0"});
    EXPECT_EQ(wide.exit_status, 1);
    EXPECT_NE(wide.err.find(KeyFile().string()), std::string::npos) << wide.err;
    const std::filesystem::path made = directory_.path() / "new-key";
    Start({"--game-key-file", made.string()});
    EXPECT_EQ(std::filesystem::file_size(made), 32u);
    EXPECT_EQ(std::filesystem::status(made).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

}  // namespace
}  // namespace zorblet::server::testing

namespace zorblet::server::testing {
namespace {

// The operators' side: the listing shows the flag and filters by it, a removal drops the
// kept record for good, the figures count verified entries and kept games, and a backup
// carries flags, records and used tickets.
TEST_F(GameSubmissionTest, TheAdminToolShowsTheFlagDropsARemovedGameAndBacksUpGamesAndTickets) {
    const std::filesystem::path socket = directory_.path() / "admin.sock";
    Start({"--admin-socket", socket.string()});
    const auto admin = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--socket", socket.string()});
        const CommandOutcome outcome = RunAdminCommand(arguments);
        EXPECT_EQ(outcome.exit_status, 0) << outcome.err;
        return outcome.out;
    };
    EXPECT_EQ(server_->Get(SubmitTarget(10, "Alt")).status, 200);
    const std::string first = RecordWithTicket(PlayedGame(600, 21), SignTicket(Key(), 21));
    const std::string second = RecordWithTicket(PlayedGame(800, 22), SignTicket(Key(), 22));
    const std::int64_t first_id = json::parse(server_->Send("/api/v1/games?name=Eins", first).body)["id"];
    const std::int64_t second_id = json::parse(server_->Send("/api/v1/games?name=Zwei", second).body)["id"];

    const std::string listed = admin({"list"});
    EXPECT_NE(listed.find("\tEins\t"), std::string::npos) << listed;
    EXPECT_NE(listed.find("\tverified\t"), std::string::npos) << listed;
    EXPECT_NE(listed.find("\tAlt\t"), std::string::npos);
    const std::string unverified = admin({"list", "--unverified"});
    EXPECT_NE(unverified.find("\tAlt\t"), std::string::npos) << unverified;
    EXPECT_EQ(unverified.find("\tEins\t"), std::string::npos) << unverified;
    std::string stats = admin({"stats"});
    EXPECT_NE(stats.find("entries verified\t2\ngames kept\t2\n"), std::string::npos) << stats;

    admin({"remove", std::to_string(first_id), "--reason", "test"});
    EXPECT_EQ(server_->Get("/api/v1/games/" + std::to_string(first_id)).status, 404);
    admin({"restore", std::to_string(first_id)});
    EXPECT_EQ(server_->Get("/api/v1/games/" + std::to_string(first_id)).status, 404);  // dropped for good
    EXPECT_EQ(server_->Get("/api/v1/games/" + std::to_string(second_id)).status, 200);
    stats = admin({"stats"});
    EXPECT_NE(stats.find("entries verified\t2\ngames kept\t1\n"), std::string::npos) << stats;

    const std::filesystem::path copy = directory_.path() / "backup.sqlite";
    admin({"backup", copy.string()});
    const ListSnapshot snapshot = SqliteScoreBoard::ReadSnapshot(copy);
    ASSERT_EQ(snapshot.entries.size(), 3u);
    EXPECT_FALSE(snapshot.entries[0].entry.verified);
    EXPECT_TRUE(snapshot.entries[1].entry.verified);
    EXPECT_TRUE(snapshot.entries[2].entry.verified);
    ASSERT_EQ(snapshot.games.size(), 1u);
    EXPECT_EQ(snapshot.games.at(second_id), second);
    ASSERT_EQ(snapshot.tickets.size(), 2u);
    for (const UsedTicket& ticket : snapshot.tickets) EXPECT_GT(ticket.expires_at, UnixNow());
}

}  // namespace
}  // namespace zorblet::server::testing

namespace zorblet::server::testing {
namespace {

VerifiedGame GameOf(std::int32_t points, int n) {
    return {{points, "G" + std::to_string(n), "01.01.26", true},
            "record " + std::to_string(n),
            {"t" + std::to_string(n), "d" + std::to_string(n), 0, UnixNow() + 3600}};
}

// The records of the best verified entries and of the ten newest are kept, and no other:
// one pushed out of both is dropped when it is, and a smaller number at start drops more.
TEST(KeptGames, TheBestAndTheNewestAreKeptAndTheRestDropped) {
    TempDir directory;
    const std::filesystem::path file = directory.path() / "scores.sqlite";
    {
        SqliteScoreBoard board(file, KeptGames{1});
        for (int n = 1; n <= 12; ++n) board.AddGame(GameOf(1000 - n, n), 0);  // each below the one before
        EXPECT_TRUE(board.ReadKeptGame(1));   // the best
        EXPECT_FALSE(board.ReadKeptGame(2));  // neither best nor among the newest ten
        for (std::int64_t id = 3; id <= 12; ++id) EXPECT_TRUE(board.ReadKeptGame(id)) << id;
        // A second arrival of a ticket stores nothing; another record on it is refused.
        const StoredGame resent = board.AddGame(GameOf(1000 - 12, 12), 0);
        EXPECT_EQ(resent.result, GameStoreResult::Resent);
        EXPECT_EQ(resent.id, 12);
        VerifiedGame other = GameOf(5, 12);
        other.ticket.digest = "another";
        EXPECT_EQ(board.AddGame(other, 0).result, GameStoreResult::TicketUsed);
        board.ReadRanking(Listing::Verified, [](const RankedView& view) { EXPECT_EQ(view.CountEntries(), 12); });
        EXPECT_EQ(board.AddEntry({2000, "Ungeprueft", "01.01.26"}), 13);
        board.ReadRanking(Listing::Verified, [](const RankedView& view) { EXPECT_EQ(view.CountEntries(), 12); });
        board.ReadRanking([](const RankedView& view) { EXPECT_EQ(view.CountEntries(), 13); });
    }
    SqliteScoreBoard reopened(file, KeptGames{0});
    EXPECT_FALSE(reopened.ReadKeptGame(1));
    EXPECT_TRUE(reopened.ReadKeptGame(12));
    EXPECT_TRUE(reopened.ReadEntry(1)->verified);
    EXPECT_FALSE(reopened.ReadEntry(13)->verified);
    EXPECT_EQ(reopened.FindUsedTicket("t5")->entry_id, 5);
}

}  // namespace
}  // namespace zorblet::server::testing

namespace zorblet::server::testing {
namespace {

// With every replay thread busy and the queue full, a game is answered busy at once (503
// with Retry-After over HTTP) and stored nothing; the games queued are answered in turn.
TEST(GameQueue, AFullQueueAnswersBusyAtOnceAndTheQueuedGamesAreAnsweredAfter) {
    TempDir directory;
    SqliteScoreBoard board(directory.path() / "scores.sqlite");
    const SystemClock clock;
    LocalSubmitGate gate(board, 0, clock);
    GameSubmissionSettings settings;
    settings.replay_threads = 1;
    settings.replay_queue = 1;
    GameSubmissions games(board, gate, TicketKey::Generate(), clock, settings);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> answered{0};
    const auto hold = [&](GameAnswer answer) {
        EXPECT_EQ(answer.outcome, GameOutcome::RecordMalformed);
        released.wait();
        ++answered;
    };
    const std::vector<std::uint8_t> junk{1, 2, 3};
    EXPECT_FALSE(games.Submit("Anna", junk, "a", hold));  // runs, and holds its thread
    while (games.CountWaiting() != 0) std::this_thread::yield();
    EXPECT_FALSE(games.Submit("Anna", junk, "a", hold));  // waits in the queue
    const std::optional<GameAnswer> busy = games.Submit("Anna", junk, "a", hold);
    ASSERT_TRUE(busy);
    EXPECT_EQ(busy->outcome, GameOutcome::Busy);
    EXPECT_EQ(busy->error, "busy");
    release.set_value();
    while (answered != 2) std::this_thread::yield();
    board.ReadRanking([](const RankedView& view) { EXPECT_EQ(view.CountEntries(), 0); });
}

}  // namespace
}  // namespace zorblet::server::testing
