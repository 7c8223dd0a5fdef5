// A submission that could not be delivered is kept and sent again: against the real
// service (stopped and restarted, or failing to store) and a server that misbehaves.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "highscore/check_text.h"
#include "highscore/highscore_client.h"
#include "highscore/service_urls.h"
#include "platform/curl_http_transport.h"
#include "server_test.h"
#include "support/fakes.h"
#include "support/http_fakes.h"
#include "support/misbehaving_server.h"

namespace zorblet::highscore {
namespace {

using namespace std::chrono_literals;

std::string Submission(const std::string& server, std::int32_t points, const std::string& name) {
    return SubmitUrl(WithFinalSlash(server), points, name, BuildCheckText(points, name));
}

// Polls the client's view until the condition holds and nothing is due, or 20 s have passed.
template <typename Condition>
bool WaitFor(HighscoreClient& client, BoardView& view, Condition condition) {
    for (int i = 0; i < 2000; ++i) {
        client.Refresh(view);
        if (condition(view) && !client.Busy()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

// Moves the clock on by the span, and waits until what came due has been sent.
void LetTimePass(testing::SharedFakeClock& clock, HighscoreClient& client, BoardView& view,
                 std::chrono::milliseconds span) {
    clock.AdvanceMs(static_cast<std::uint64_t>(span.count()));
    ASSERT_TRUE(WaitFor(client, view, [](const BoardView&) { return true; })) << "a transfer is stuck";
}

// Past the last resend, in steps shorter than any gap between two of them.
void LetAllResendsPass(testing::SharedFakeClock& clock, HighscoreClient& client, BoardView& view) {
    for (int step = 0; step < 12; ++step) LetTimePass(clock, client, view, 5s);
}

std::size_t CountSubmissions(const std::vector<std::string>& requests) {
    std::size_t count = 0;
    for (const auto& head : requests) count += head.find("HighScoreSQL.php") != std::string::npos;
    return count;
}

std::size_t CountInLog(const std::string& log, const std::string& text) {
    std::size_t count = 0;
    for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++count;
    return count;
}

class KeptSubmissionTest : public server::testing::ServerTest {
protected:
    std::string Address(int port) const { return "http://127.0.0.1:" + std::to_string(port) + "/"; }
    server::testing::ServerProcess& RestartOn(int port) {
        return StartServer({"--submit-rate", "0", "--port", std::to_string(port)});
    }

    platform::CurlHttpTransport transport;
    testing::SharedFakeClock clock;  // the ten connection attempts and the resends take no real time
    BoardView view;
};

TEST_F(KeptSubmissionTest, DeliveredOnceTheServiceIsBackAndStoredOnce) {
    const int port = StartServer().port();
    StopServer();
    HighscoreClient client(transport, clock, Address(port));
    client.SubmitThenRefresh(Submission(Address(port), 321, "Anna"));
    ASSERT_TRUE(WaitFor(client, view, [](const BoardView& v) { return v.KeptSubmissions == 1; }));
    EXPECT_EQ(view.Failures, 1u) << "only the best-of fetch after it; the kept one is not a failure yet";

    LetTimePass(clock, client, view, 15s);
    EXPECT_EQ(view.KeptSubmissions, 1) << "sent again while the service is away";

    RestartOn(port);
    LetTimePass(clock, client, view, 15s);
    EXPECT_EQ(view.KeptSubmissions, 0);
    EXPECT_EQ(view.Failures, 1u);
    EXPECT_EQ(view.HighscoreRows[0], "     Zorblet hat 1 HighScore-Eintr\xE4ge") << "the best-of table fetched anew";
    EXPECT_NE(view.HighscoreRows[2].find("Anna"), std::string::npos);
    EXPECT_EQ(CountEntries(), 1);
}

TEST_F(KeptSubmissionTest, SentAgainWhenTheAnswerWasLostAndStoredOnlyOnce) {
    auto& service = StartServer();
    std::atomic<int> submissions = 0;
    // Passes each request on to the service; the first submission's answer never comes back.
    testing::MisbehavingServer front(
        testing::ServerMode{testing::Listening::Open, [&](testing::FixtureConnection& c) {
                                const server::testing::HttpReply reply = service.Get(c.Target());
                                if (c.Target().find("HighScoreSQL.php") != std::string::npos && submissions++ == 0)
                                    return;
                                c.Send(testing::HttpReply(reply.status, reply.body));
                            }});
    HighscoreClient client(transport, clock, front.Url("/"));
    client.SubmitThenRefresh(Submission(front.Url("/"), 4711, "J\xFCrgen"));
    ASSERT_TRUE(WaitFor(client, view, [&](const BoardView& v) { return v.KeptSubmissions == 0 && submissions == 2; }));
    EXPECT_EQ(CountEntries(), 1) << "the service stored the repeated submission once";
    EXPECT_EQ(view.Failures, 0u);
}

TEST_F(KeptSubmissionTest, GivenUpAfterTheLastResendWhileTheServiceCannotStore) {
    // Room for the database and a little log: fill it until the service answers 503.
    auto& service = StartServer({"--submit-rate", "0"}, 64 * 1024);
    int refused = 0;
    for (int i = 0; i < 2000 && refused == 0; ++i) {
        refused = service.Get(server::testing::SubmitTarget(i, "Füller " + std::to_string(i))).status == 503;
    }
    ASSERT_EQ(refused, 1) << "the disk never filled up";
    const std::size_t before = CountInLog(service.ReadLog(), "HighScoreSQL.php");
    HighscoreClient client(transport, clock, Address(service.port()));
    client.SubmitThenRefresh(Submission(Address(service.port()), 99, "Bert"));
    ASSERT_TRUE(WaitFor(client, view, [](const BoardView& v) { return v.KeptSubmissions == 1; }));
    EXPECT_EQ(view.Failures, 0u);
    LetAllResendsPass(clock, client, view);
    EXPECT_EQ(view.KeptSubmissions, 0);
    EXPECT_EQ(view.Failures, 1u) << "told once, when given up";
    EXPECT_EQ(CountInLog(service.ReadLog(), "HighScoreSQL.php") - before, 5u) << "the first attempt and four resends";
}

TEST_F(KeptSubmissionTest, TwoKeptSubmissionsArriveInTheirOrder) {
    const int port = StartServer().port();
    StopServer();
    HighscoreClient client(transport, clock, Address(port));
    client.SubmitThenRefresh(Submission(Address(port), 500, "Erste"));
    client.SubmitThenRefresh(Submission(Address(port), 500, "Zweite"));
    ASSERT_TRUE(WaitFor(client, view, [](const BoardView& v) { return v.KeptSubmissions == 2; }));
    RestartOn(port);
    LetTimePass(clock, client, view, 15s);
    EXPECT_EQ(view.KeptSubmissions, 0);
    // Equal points: the earlier entry ranks first.
    EXPECT_NE(view.HighscoreRows[2].find("Erste"), std::string::npos);
    EXPECT_NE(view.HighscoreRows[3].find("Zweite"), std::string::npos);
    EXPECT_EQ(CountEntries(), 2);
}

TEST(KeptSubmission, AnswersDecideWhetherASubmissionIsSentAgain) {
    struct Case {
        int Status;
        std::size_t Submissions;  // how many reach the server in all
        std::uint64_t Failures;
    } const cases[] = {
        {200, 1, 0}, {400, 1, 0}, {404, 1, 0}, {429, 5, 1}, {500, 5, 1}, {503, 5, 1},
    };
    for (const auto& c : cases) {
        testing::MisbehavingServer server(testing::Answers(c.Status, "1\r\n"));
        platform::CurlHttpTransport transport;
        testing::SharedFakeClock clock;
        HighscoreClient client(transport, clock, server.Url("/"));
        BoardView view;
        client.SubmitThenRefresh(Submission(server.Url("/"), 10, "C"));
        LetAllResendsPass(clock, client, view);
        LetAllResendsPass(clock, client, view);  // and nothing more comes
        EXPECT_EQ(view.KeptSubmissions, 0) << c.Status;
        EXPECT_EQ(CountSubmissions(server.Requests()), c.Submissions) << c.Status;
        EXPECT_EQ(view.Failures, c.Failures) << c.Status;
    }
}

TEST(KeptSubmission, SentAgainFiveFifteenThirtyAndFortyFiveSecondsAfterItsFirstAttempt) {
    testing::SharedFakeClock clock;
    testing::ScriptedHttpTransport transport(clock);
    transport.Steps = {{platform::HttpAttempt{true, 503, "", false}}};
    HighscoreClient client(transport, clock, "http://scores.test/");
    BoardView view;
    client.SubmitThenRefresh("http://scores.test/HighScoreSQL.php?Punkte=1&Name=D&Check=z");
    ASSERT_TRUE(WaitFor(client, view, [](const BoardView& v) { return v.KeptSubmissions == 1; }));
    for (int second = 0; second < 60; ++second) LetTimePass(clock, client, view, 1s);

    std::vector<std::uint64_t> sentAtMs;
    for (const auto& call : transport.Calls)
        if (call.Url.find("HighScoreSQL.php") != std::string::npos)
            sentAtMs.push_back(call.AtMs - transport.Calls.front().AtMs);
    EXPECT_EQ(sentAtMs, (std::vector<std::uint64_t>{0, 5000, 15000, 30000, 45000}));
    EXPECT_EQ(view.KeptSubmissions, 0);
    EXPECT_EQ(view.Failures, 1u) << "told once, when given up";
}

TEST(KeptSubmission, NoConnectionAndTimeOutsAreSentAgainAnsweredRefusalsNot) {
    const auto fate = [](FetchOutcome outcome, int status) { return FateOf({"", status, outcome}); };
    EXPECT_EQ(fate(FetchOutcome::NoConnection, 0), SubmissionFate::SendAgain);
    EXPECT_EQ(fate(FetchOutcome::TimedOut, 0), SubmissionFate::SendAgain);
    EXPECT_EQ(fate(FetchOutcome::TimedOut, 200), SubmissionFate::SendAgain) << "the answer broke off";
    EXPECT_EQ(fate(FetchOutcome::Answered, 204), SubmissionFate::Delivered);
    EXPECT_EQ(fate(FetchOutcome::Answered, 302), SubmissionFate::Refused);
    EXPECT_EQ(fate(FetchOutcome::Answered, 429), SubmissionFate::SendAgain);
    EXPECT_EQ(fate(FetchOutcome::Answered, 599), SubmissionFate::SendAgain);
}

}  // namespace
}  // namespace zorblet::highscore
