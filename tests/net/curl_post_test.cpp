// The libcurl transport's POST and binary replies against a loopback server: a record goes
// up byte for byte with its type and its length, a reply with NUL bytes comes back whole,
// and the limits and time-outs of a GET hold for a POST too.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "platform/curl_http_transport.h"
#include "support/misbehaving_server.h"

namespace zorblet::platform {
namespace {

using namespace std::string_literals;
using testing::MisbehavingServer;

std::vector<std::string> HeadLines(const std::string& request) {
    std::vector<std::string> lines;
    std::istringstream stream(request.substr(0, request.find("\r\n\r\n")));
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string BodyOf(const std::string& request) {
    return request.substr(request.find("\r\n\r\n") + 4);
}

bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::count(lines.begin(), lines.end(), line) == 1;
}

bool HasHeader(const std::vector<std::string>& lines, const std::string& name) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) { return line.starts_with(name); });
}

// Bytes of every value, NUL and CR LF CR LF among them, as a record's are.
std::string BinaryBody(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return body.substr(0, 8) + "\r\n\r\n" + body.substr(std::min<std::size_t>(12, size));
}

TEST(CurlPostTest, ABodyGoesUpByteForByteWithItsTypeItsLengthAndNoWaitForContinue) {
    for (const std::size_t size : {std::size_t{0}, std::size_t{3000}, HttpTransport::MaxUploadBytes}) {
        SCOPED_TRACE(size);
        const std::string answer = R"({"id": 7, "place": 1, "points": 10, "verified": true})";
        MisbehavingServer server(testing::Answers(201, answer, "Content-Type: application/json\r\n"));
        CurlHttpTransport transport;
        const std::string body = size == 0 ? "" : BinaryBody(size).substr(0, size);
        const auto start = std::chrono::steady_clock::now();
        const HttpAttempt attempt = transport.Send(
            PostRequest(server.Url("/api/v1/games?name=J%C3%BCrgen"), "application/octet-stream", body), 10'000);
        const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        server.Stop();

        EXPECT_EQ(attempt.Status, 201);
        EXPECT_EQ(attempt.Body, answer);
        EXPECT_LT(seconds, 5.0) << "no second lost asking to continue";
        ASSERT_EQ(server.RequestCount(), 1u);
        const std::string request = server.Requests()[0];
        const std::vector<std::string> lines = HeadLines(request);
        EXPECT_EQ(lines[0], "POST /api/v1/games?name=J%C3%BCrgen HTTP/1.1");
        for (const std::string& line : {"Content-Type: application/octet-stream"s,
                                       "Content-Length: " + std::to_string(body.size()), "User-Agent: PB@INET"s,
                                       "Cache-Control: no-cache"s}) {
            EXPECT_TRUE(HasLine(lines, line)) << line << " in\n" << request.substr(0, 400);
        }
        EXPECT_FALSE(HasHeader(lines, "Expect:"));
        EXPECT_TRUE(BodyOf(request) == body) << "the body arrived changed";
    }
}

TEST(CurlPostTest, APostWithoutATypeSaysNoneAndATooLargeBodyIsNotSent) {
    MisbehavingServer server(testing::Answers(200, "{}"));
    CurlHttpTransport transport;
    EXPECT_EQ(transport.Send(PostRequest(server.Url("/api/v1/games/new")), 10'000).Status, 200);
    const HttpAttempt tooLarge = transport.Send(
        PostRequest(server.Url("/api/v1/games"), "application/octet-stream",
                    std::string(HttpTransport::MaxUploadBytes + 1, 'x')),
        10'000);
    server.Stop();

    EXPECT_FALSE(tooLarge.Connected);
    EXPECT_EQ(tooLarge.Status, 0);
    ASSERT_EQ(server.RequestCount(), 1u) << "the one over the limit never left";
    const std::vector<std::string> lines = HeadLines(server.Requests()[0]);
    EXPECT_EQ(lines[0], "POST /api/v1/games/new HTTP/1.1");
    EXPECT_TRUE(HasLine(lines, "Content-Length: 0"));
    EXPECT_FALSE(HasHeader(lines, "Content-Type:")) << "not a form: nothing at all";
}

TEST(CurlPostTest, ABinaryReplyKeepsItsNulBytesATextReplyDropsThem) {
    const std::string record = "ZREC\x01\0\0\0\0\0\r\n\x00\xff"s;
    MisbehavingServer server(testing::Answers(200, record, "Content-Type: application/octet-stream\r\n"));
    CurlHttpTransport transport;
    EXPECT_TRUE(transport.Send(GetRequest(server.Url("/api/v1/games/7"), /*binaryReply=*/true), 10'000).Body ==
                record);
    EXPECT_EQ(transport.Send(GetRequest(server.Url("/api/v1/games/7")), 10'000).Body, "ZREC\x01\r\n\xff");
}

// A service that takes the body and never answers costs the POST no more than a GET: the
// idle cut, counted from the body's last byte going up.
TEST(CurlPostTest, ASilentServiceIsGivenUpAsForAGet) {
    MisbehavingServer server(testing::SilentAfterAccept());
    CurlHttpTransport transport;
    const auto start = std::chrono::steady_clock::now();
    const HttpAttempt attempt =
        transport.Send(PostRequest(server.Url("/api/v1/games"), "application/octet-stream", BinaryBody(50'000)), 10'000);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    server.Stop();
    EXPECT_TRUE(attempt.Connected);
    EXPECT_TRUE(attempt.TimedOut);
    EXPECT_EQ(attempt.Status, 0);
    EXPECT_GE(seconds, 2.5);
    EXPECT_LE(seconds, 7) << "the idle cut, well before the budget";
    ASSERT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(BodyOf(server.Requests()[0]).size(), 50'000u) << "the body went up whole before the silence";
}

}  // namespace
}  // namespace zorblet::platform
