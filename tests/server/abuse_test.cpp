// Repeats, floods and oversized requests.

#include <sys/socket.h>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <unistd.h>

#include "server_test.h"

namespace zorblet::server::testing {
namespace {

using AbuseTest = ServerTest;

TEST_F(AbuseTest, ARepeatedSubmissionIsAnsweredOkAndStoredOnce) {
  StartServer();
  EXPECT_EQ(server_->Get(SubmitTarget(1000, "Max")).body, "OK");
  EXPECT_EQ(server_->Get(SubmitTarget(1000, "Max")).body, "OK");
  EXPECT_EQ(CountEntries(), 1);
  EXPECT_EQ(server_->Get(SubmitTarget(1001, "Max")).body, "OK");  // another score
  EXPECT_EQ(server_->Get(SubmitTarget(1000, "Moritz")).body, "OK");  // another player
  EXPECT_EQ(CountEntries(), 3);
}

TEST_F(AbuseTest, SubmissionsBeyondTheRateAreRefusedWith429AndReadsAreNotLimited) {
  StartServer({"--submit-rate", "3"});
  EXPECT_EQ(server_->Get(SubmitTarget(10, "Anna")).status, 200);
  EXPECT_EQ(server_->Get(SubmitTarget(10, "Anna")).status, 200);  // a repeat still counts
  EXPECT_EQ(server_->Get("/HighScoreSQL.php?Punkte=x").status, 400);  // so does a bad one
  const HttpReply refused = server_->Get(SubmitTarget(20, "Bert"));
  EXPECT_EQ(refused.status, 429);
  EXPECT_TRUE(refused.body.ends_with("\r\n"));
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(server_->Get("/ListeSQL.php?Punkte=15").status, 200);
    ASSERT_EQ(server_->Get("/BestOffSQL.php").status, 200);
  }
  EXPECT_EQ(CountEntries(), 1);
}

// Sends raw bytes on one connection and returns the status lines of all answers, one
// per line, read until the server closes the connection.
std::string ExchangeRaw(int port, const std::string& request) {
  const int socket_descriptor = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string answer;
  if (connect(socket_descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    send(socket_descriptor, request.data(), request.size(), MSG_NOSIGNAL);
    shutdown(socket_descriptor, SHUT_WR);
    char buffer[4096];
    for (ssize_t n; (n = recv(socket_descriptor, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, n);
  }
  close(socket_descriptor);
  std::string status_lines;
  for (std::size_t at = answer.find("HTTP/1.1 "); at != std::string::npos;
       at = answer.find("HTTP/1.1 ", at + 1)) {
    status_lines += answer.substr(at, answer.find("\r\n", at) - at) + "\n";
  }
  return status_lines;
}

TEST_F(AbuseTest, OversizedRequestsAreRefusedBySizeLimits) {
  StartServer();
  const std::string long_name(9000, 'A');
  EXPECT_EQ(server_->Get(SubmitTarget(1000, long_name)).status, 414);
  const std::string next = "GET /BestOffSQL.php HTTP/1.1\r\nHost: x\r\n\r\n";
  // A body is never read, and whatever follows it is not taken for a request.
  EXPECT_EQ(ExchangeRaw(server_->port(), "GET " + SubmitTarget(1, "Max") +
                                         " HTTP/1.1\r\nContent-Length: 57\r\n\r\n" + next),
            "HTTP/1.1 413 Payload Too Large\n");
  const std::string long_header(9000, 'h');
  EXPECT_EQ(ExchangeRaw(server_->port(), "GET /BestOffSQL.php HTTP/1.1\r\nX: " + long_header +
                                         "\r\n\r\n" + next),
            "HTTP/1.1 400 Bad Request\n");
  std::string many_headers;
  for (int i = 0; i < 2000; ++i) many_headers += "X-" + std::to_string(i) + ": value\r\n";
  EXPECT_EQ(ExchangeRaw(server_->port(), "GET /BestOffSQL.php HTTP/1.1\r\n" + many_headers +
                                         "\r\n" + next),
            "HTTP/1.1 400 Bad Request\n");
  EXPECT_EQ(ExchangeRaw(server_->port(), "\x16\x03\x01 not http\r\n\r\n" + next),
            "HTTP/1.1 400 Bad Request\n");
  EXPECT_EQ(CountEntries(), 0);
}

}  // namespace
}  // namespace zorblet::server::testing
