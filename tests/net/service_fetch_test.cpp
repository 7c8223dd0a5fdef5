// FetchUrl against the real highscore service: the replies arrive byte for byte.

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "highscore/fetch_url.h"
#include "platform/curl_http_transport.h"
#include "platform/posix_clock.h"
#include "server_test.h"
#include "support/highscore_fixture.h"

namespace zorblet::highscore {
namespace {

using testing::ReadFixture;

struct ServiceCase {
    const char* Target;
    const char* Fixture;
};

// Test names and failure messages show the case's name, not its bytes.
void PrintTo(const ServiceCase& c, std::ostream* out) {
    *out << c.Target;
}

class ServiceFetchTest : public server::testing::ServerTest, public ::testing::WithParamInterface<ServiceCase> {};

TEST_P(ServiceFetchTest, EmptyBoardRepliesByteExact) {
    const ServiceCase& c = GetParam();
    const std::string expected = ReadFixture(c.Fixture);
    ASSERT_FALSE(expected.empty());
    const auto& server = StartServer();
    platform::CurlHttpTransport transport;
    platform::PosixClock clock;

    const FetchResult result =
        FetchUrl(transport, clock, "http://127.0.0.1:" + std::to_string(server.port()) + "/" + c.Target);

    EXPECT_EQ(result.Outcome, FetchOutcome::Answered);
    EXPECT_EQ(result.Status, 200);
    EXPECT_TRUE(result.Body == expected) << result.Body;
}

INSTANTIATE_TEST_SUITE_P(Replies, ServiceFetchTest,
                         ::testing::Values(ServiceCase{"BestOffSQL.php", "bestof_0.txt"},
                                           ServiceCase{"ListeSQL.php?Punkte=0", "liste_0_P1.txt"}),
                         [](const auto& info) {
                             const std::string fixture = info.param.Fixture;
                             return fixture.substr(0, fixture.find('.'));
                         });

}  // namespace
}  // namespace zorblet::highscore
