// FetchUrl through the libcurl transport against a server that misbehaves on purpose:
// what comes back, whether it counts as failed, and how long it takes.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "highscore/fetch_url.h"
#include "platform/curl_http_transport.h"
#include "platform/posix_clock.h"
#include "support/misbehaving_server.h"

namespace zorblet::highscore {
namespace {

using namespace std::string_literals;
using platform::CurlHttpTransport;
using testing::MisbehavingServer;
using testing::ServerMode;

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct TimedFetch {
    FetchResult Result;
    double Seconds;
};

TimedFetch Fetch(const std::string& url) {
    CurlHttpTransport transport;
    platform::PosixClock clock;
    const auto start = std::chrono::steady_clock::now();
    FetchResult result = FetchUrl(transport, clock, url);
    return {std::move(result), SecondsSince(start)};
}

std::vector<std::string> HeadLines(const std::string& head) {
    std::vector<std::string> lines;
    std::istringstream stream(head);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

// Bounds are loose enough for a sanitizer build on a busy machine, and tight enough to
// tell the 3 s low-speed cut from the 10 s budget, and that from a hang.
struct ServerCase {
    const char* Name;
    std::function<ServerMode()> Mode;
    std::string Body;
    bool BodyCutByTime;  // the result is some non-empty prefix of Body
    int Status;
    FetchOutcome Outcome;
    double MinSeconds;
    double MaxSeconds;
    std::optional<std::size_t> Requests;  // none: retries may vary
};

// Test names and failure messages show the case's name, not its bytes.
void PrintTo(const ServerCase& c, std::ostream* out) {
    *out << c.Name;
}

const std::string Record = "1\r\n1234\tAnna\t07.05.07\r\n";
const std::string HalfStalled = testing::PatternBody(4000);
const std::string Trickled = "5\r\n100\tBert\t01.01.24\r\n";

class CurlFetchTest : public ::testing::TestWithParam<ServerCase> {};

TEST_P(CurlFetchTest, ReturnsTheReplyOrFailsInTime) {
    const ServerCase& c = GetParam();
    MisbehavingServer server(c.Mode());

    const TimedFetch fetch = Fetch(server.Url("/BestOffSQL.php"));
    server.Stop();

    if (c.BodyCutByTime) {
        EXPECT_FALSE(fetch.Result.Body.empty());
        EXPECT_LT(fetch.Result.Body.size(), c.Body.size());
        EXPECT_TRUE(c.Body.starts_with(fetch.Result.Body)) << fetch.Result.Body;
    } else {
        EXPECT_EQ(fetch.Result.Body.size(), c.Body.size());
        EXPECT_TRUE(fetch.Result.Body == c.Body) << fetch.Result.Body.substr(0, 200);
    }
    EXPECT_EQ(fetch.Result.Status, c.Status);
    EXPECT_EQ(fetch.Result.Outcome, c.Outcome);
    EXPECT_EQ(fetch.Result.ErrorText(), c.Outcome == FetchOutcome::Answered ? "" : TransferErrorText);
    EXPECT_GE(fetch.Seconds, c.MinSeconds);
    EXPECT_LE(fetch.Seconds, c.MaxSeconds);
    if (c.Requests) {
        EXPECT_EQ(server.RequestCount(), *c.Requests);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CurlFetchTest,
    ::testing::Values(
        // Ten attempts with nine real 300 ms pauses between them and one after.
        ServerCase{"Refused", testing::Refuses, "", false, 0, FetchOutcome::NoConnection, 2.9, 6, 0},
        ServerCase{"SilentAfterAccept", testing::SilentAfterAccept, "", false, 0, FetchOutcome::TimedOut, 2.5, 14,
                   std::nullopt},
        ServerCase{"StalledMidBody", [] { return testing::StallsMidBody(HalfStalled); },
                   HalfStalled.substr(0, HalfStalled.size() / 2), false, 200, FetchOutcome::TimedOut, 2.5, 7, 1},
        ServerCase{"OneBytePerSecond", [] { return testing::Trickles(Trickled); }, Trickled, true, 200,
                   FetchOutcome::TimedOut, 2.5, 7, 1},
        ServerCase{"NotFoundPage",
                   [] { return testing::Answers(404, testing::NotFoundPage(), "Content-Type: text/html\r\n"); },
                   testing::NotFoundPage(), false, 404, FetchOutcome::Answered, 0, 3, 1},
        ServerCase{"Unavailable", [] { return testing::Answers(503, "busy\r\n"); }, "busy\r\n", false, 503,
                   FetchOutcome::Answered, 0, 3, 1},
        ServerCase{"RedirectNotFollowed", [] { return testing::Redirects("/elsewhere", "moved\r\n"); }, "moved\r\n",
                   false, 302, FetchOutcome::Answered, 0, 3, 1},
        ServerCase{"FiveMegabytesCutAtOneMebibyte",
                   [] { return testing::Answers(200, testing::PatternBody(5'000'000)); }, testing::PatternBody(1 << 20),
                   false, 200, FetchOutcome::Answered, 0, 5, 1},
        ServerCase{"NulBytesDropped", [] { return testing::Answers(200, "\0001\r\n12\0003\tAn\0na\t\0\r\n\0"s); },
                   "1\r\n123\tAnna\t\r\n", false, 200, FetchOutcome::Answered, 0, 3, 1},
        ServerCase{"NoFinalCrLf", [] { return testing::Answers(200, "1\r\n1234\tAnna\t07.05.07"); },
                   "1\r\n1234\tAnna\t07.05.07", false, 200, FetchOutcome::Answered, 0, 3, 1},
        ServerCase{"Normal", [] { return testing::Answers(200, Record); }, Record, false, 200, FetchOutcome::Answered,
                   0, 3, 1}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(CurlRequestTest, CarriesTheAgentTheNoCacheHeadersAndTheTargetAsGiven) {
    MisbehavingServer server(testing::Answers(200, Record));

    const TimedFetch fetch = Fetch(server.Url("/HighScoreSQL.php?Punkte=-12&Name=%C4rger+B&Check=51225117"));
    server.Stop();

    ASSERT_EQ(server.RequestCount(), 1u);
    const std::vector<std::string> lines = HeadLines(server.Requests()[0]);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "GET /HighScoreSQL.php?Punkte=-12&Name=%C4rger+B&Check=51225117 HTTP/1.1");
    for (const char* header : {"User-Agent: PB@INET", "Cache-Control: no-cache", "Pragma: no-cache"}) {
        EXPECT_EQ(std::count(lines.begin(), lines.end(), header), 1) << header << " in\n" << server.Requests()[0];
    }
    EXPECT_EQ(fetch.Result.Body, Record);
}

// Sets an environment variable for one test and puts the old value back.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = getenv(name)) old_ = old;
        setenv(name, value, 1);
    }
    ~ScopedEnvironment() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class DeadProxyTest : public ::testing::TestWithParam<const char*> {};

TEST_P(DeadProxyTest, DoesNotStopADirectFetch) {
    // Set before the server's threads start, as setenv is not safe beside other threads.
    const ScopedEnvironment proxy(GetParam(), "http://127.0.0.1:1");
    MisbehavingServer server(testing::Answers(200, Record));

    const TimedFetch fetch = Fetch(server.Url("/BestOffSQL.php"));
    server.Stop();

    EXPECT_EQ(fetch.Result.Outcome, FetchOutcome::Answered);
    EXPECT_EQ(fetch.Result.Body, Record);
    EXPECT_EQ(server.RequestCount(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Variables, DeadProxyTest, ::testing::Values("http_proxy", "ALL_PROXY", "all_proxy"),
                         [](const auto& info) { return std::string(info.param); });

// The transport on its own: one attempt, bounded by its budget and the connect time-out.
class CurlTransportTest : public ::testing::Test {
protected:
    struct TimedAttempt {
        platform::HttpAttempt Attempt;
        double Seconds;
    };
    TimedAttempt Get(const std::string& url, int budgetMs) {
        const auto start = std::chrono::steady_clock::now();
        platform::HttpAttempt attempt = transport_.Get(url, budgetMs);
        return {std::move(attempt), SecondsSince(start)};
    }

    CurlHttpTransport transport_;
};

TEST_F(CurlTransportTest, SilentServerEndsWithTheBudget) {
    MisbehavingServer server(testing::SilentAfterAccept());

    const TimedAttempt get = Get(server.Url(), 1000);

    EXPECT_TRUE(get.Attempt.Connected);
    EXPECT_TRUE(get.Attempt.TimedOut);
    EXPECT_EQ(get.Attempt.Status, 0);
    EXPECT_GE(get.Seconds, 0.9);
    EXPECT_LE(get.Seconds, 2.5);  // well before the 3 s low-speed cut
}

TEST_F(CurlTransportTest, UnreachableServerEndsWithTheConnectTimeout) {
    MisbehavingServer server(testing::Unreachable());

    const TimedAttempt get = Get(server.Url(), 10'000);

    EXPECT_FALSE(get.Attempt.Connected);
    EXPECT_FALSE(get.Attempt.TimedOut);
    EXPECT_EQ(get.Attempt.Status, 0);
    EXPECT_GE(get.Seconds, 2.9);
    EXPECT_LE(get.Seconds, 6);
}

TEST_F(CurlTransportTest, FetchesNothingButHttp) {
    char path[] = "/tmp/zorblet-net-XXXXXX";
    const int file = mkstemp(path);
    ASSERT_GE(file, 0);
    ASSERT_EQ(write(file, "secret", 6), 6);
    close(file);

    const TimedAttempt get = Get("file://"s + path, 1000);
    unlink(path);

    EXPECT_FALSE(get.Attempt.Connected);
    EXPECT_EQ(get.Attempt.Body, "");
    EXPECT_EQ(get.Attempt.Status, 0);
}

// The slow-service benchmark stands in for the service at the game's fixed address, run
// after run, and answers by request target.
TEST(MisbehavingServerTest, TakesItsFixedPortAgainAtOnceAndShowsTheScriptTheRequest) {
    int port = 0;
    {
        MisbehavingServer earlier(testing::Answers(200, Record));
        port = earlier.Port();
        ASSERT_EQ(Fetch(earlier.Url("/")).Result.Body, Record);  // its end of the connection lingers
    }
    const ServerMode echoesRequestLine{testing::Listening::Open, [](testing::FixtureConnection& connection) {
                                           const std::string& head = connection.RequestHead();
                                           connection.Send(testing::HttpReply(200, head.substr(0, head.find('\r'))));
                                       }};

    MisbehavingServer again(echoesRequestLine, port);

    EXPECT_EQ(again.Port(), port);
    EXPECT_EQ(Fetch(again.Url("/BestOffSQL.php")).Result.Body, "GET /BestOffSQL.php HTTP/1.1");
}

}  // namespace
}  // namespace zorblet::highscore
