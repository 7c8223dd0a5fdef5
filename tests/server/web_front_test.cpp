// The pages and the API through the real server's front: their headers reach the client,
// a 304 and a HEAD carry no body, the access log and the connection cap cover them, and a
// score the game submits shows on the page at once.

#include <chrono>

#include "client_socket.h"
#include "fixture_boards.h"
#include "server_test.h"

namespace zorblet::server::testing {
namespace {

using namespace std::chrono_literals;

using WebFrontTest = ServerTest;

std::string Request(const std::string& method, const std::string& target, const std::string& extra = "") {
    return method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "Connection: close\r\n\r\n";
}

// The value of a header in a raw answer; empty when it has none.
std::string HeaderIn(const std::string& answer, const std::string& name) {
    const std::size_t head_end = answer.find("\r\n\r\n");
    const std::size_t at = answer.find("\r\n" + name + ": ");
    if (at == std::string::npos || at > head_end) return {};
    const std::size_t start = at + name.size() + 4;
    return answer.substr(start, answer.find("\r\n", start) - start);
}

std::string BodyOf(const std::string& answer) {
    return answer.substr(answer.find("\r\n\r\n") + 4);
}

TEST_F(WebFrontTest, HeadersReachTheClientAndA304OrHeadCarriesNoBody) {
    SeedBoard(Database(), SixEntryBoard());
    StartServer();
    const std::string page = server_->Exchange(Request("GET", "/"));
    ASSERT_TRUE(page.starts_with("HTTP/1.1 200 OK\r\n")) << page;
    EXPECT_EQ(HeaderIn(page, "Content-Type"), "text/html; charset=utf-8");
    EXPECT_EQ(HeaderIn(page, "Content-Security-Policy"),
              "default-src 'none'; style-src 'self'; img-src 'self' data:; form-action 'self'; "
              "frame-ancestors 'none'; base-uri 'none'");
    EXPECT_EQ(HeaderIn(page, "X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(HeaderIn(page, "Referrer-Policy"), "no-referrer");
    EXPECT_EQ(HeaderIn(page, "Cache-Control"), "max-age=10");
    const std::string tag = HeaderIn(page, "ETag");
    ASSERT_FALSE(tag.empty());
    EXPECT_EQ(std::stoul(HeaderIn(page, "Content-Length")), BodyOf(page).size());

    const std::string unchanged = server_->Exchange(Request("GET", "/?ab=1", "If-None-Match: " + tag + "\r\n"));
    EXPECT_TRUE(unchanged.starts_with("HTTP/1.1 304 Not Modified\r\n")) << unchanged;
    EXPECT_EQ(HeaderIn(unchanged, "ETag"), tag);
    EXPECT_TRUE(BodyOf(unchanged).empty());

    const std::string head = server_->Exchange(Request("HEAD", "/"));
    EXPECT_TRUE(head.starts_with("HTTP/1.1 200 OK\r\n"));
    EXPECT_EQ(HeaderIn(head, "Content-Length"), HeaderIn(page, "Content-Length"));
    EXPECT_TRUE(BodyOf(head).empty());

    const std::string api = server_->Exchange(Request("GET", "/api/v1/place?points=250"));
    EXPECT_EQ(HeaderIn(api, "Content-Type"), "application/json");
    EXPECT_EQ(HeaderIn(api, "Access-Control-Allow-Origin"), "*");
    EXPECT_EQ(BodyOf(api), "{\"points\": 250, \"place\": 4, \"total\": 6}\n");
    EXPECT_TRUE(server_->ReadLog().find("\"GET /api/v1/place?points=250 HTTP/1.1\" 200 ") != std::string::npos);
}

TEST_F(WebFrontTest, AScoreTheGameSubmitsShowsAtOnceUnderTheBasePath) {
    StartServer({"--submit-rate", "0", "--base-path", "/zorblet/"});
    EXPECT_NE(server_->Get("/zorblet/").body.find("Noch keine Einträge"), std::string::npos);
    ASSERT_EQ(server_->Get("/zorblet" + SubmitTarget(4711, "M\xFCller")).status, 200);
    const HttpReply page = server_->Get("/zorblet/?name=m%C3%BC");
    EXPECT_NE(page.body.find("<tr><td>1</td><td>4711</td><td class=\"name\">Müller</td>"), std::string::npos)
        << page.body;
    EXPECT_NE(page.body.find("href=\"/zorblet/zorblet.css?v="), std::string::npos);
    EXPECT_EQ(server_->Get("/zorblet/zorblet.css").content_type, "text/css; charset=utf-8");
    EXPECT_EQ(server_->Get("/zorblet").status, 301);
    EXPECT_EQ(server_->Get("/").status, 404);  // outside the base path
}

TEST_F(WebFrontTest, TheConnectionCapPerAddressCoversThePages) {
    StartServer({"--submit-rate", "0", "--max-connections-per-address", "1"});
    ClientSocket held(server_->port(), "127.0.0.3");
    held.Send("GET / HTTP/1.1\r\n");  // half sent: it keeps its slot
    ClientSocket second(server_->port(), "127.0.0.3");
    second.Send(KeepAliveRequest("/api/v1/scores"));
    EXPECT_TRUE(second.WaitUntilClosed(2s));
    EXPECT_EQ(second.ReadReply(100ms).status, 0);
    ClientSocket other(server_->port(), "127.0.0.4");
    other.Send(KeepAliveRequest("/"));
    EXPECT_EQ(other.ReadReply(2s).status, 200);
}

}  // namespace
}  // namespace zorblet::server::testing
