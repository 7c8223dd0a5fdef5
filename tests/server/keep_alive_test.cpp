// How long a kept-alive connection may stay silent, and that one in use stays open.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "client_socket.h"
#include "server_test.h"

namespace zorblet::server::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

using KeepAliveTest = ServerTest;

const std::string HeadStart = "GET /BestOffSQL.php HTTP/1.1\r\n";
const std::string HeadEnd = "Host: 127.0.0.1\r\n\r\n";

TEST_F(KeepAliveTest, ASilentConnectionIsClosedSomeSecondsAfterItsAnswer) {
    StartServer();
    ClientSocket connection(server_->port(), "127.0.0.1");
    connection.Send(HeadStart + HeadEnd);
    ASSERT_EQ(connection.ReadReply(2s).status, 200);
    const auto answered = Clock::now();
    ASSERT_TRUE(connection.WaitUntilClosed(15s));
    const auto silent = Clock::now() - answered;
    EXPECT_GE(silent, 3s);
    EXPECT_LE(silent, 10s);
    std::this_thread::sleep_for(1500ms);  // for the second's summary
    EXPECT_NE(server_->ReadLog().find("connections closed in the last second at the time-out: 1\n"), std::string::npos);
}

// A client that sends requests but does not read the answers: at the time-out the server
// resets the connection rather than leave the untaken answers to the kernel.
TEST_F(KeepAliveTest, AReaderThatTakesNoAnswersIsResetAtTheTimeOut) {
    StartServer();
    const int reader = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int small = 4096;
    setsockopt(reader, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(server_->port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(reader, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    std::string requests;
    for (int i = 0; i < 3000; ++i) requests += HeadStart + HeadEnd;  // some 4 MB of answers
    std::size_t sent = 0;
    for (const auto until = Clock::now() + 3s; sent < requests.size() && Clock::now() < until;) {
        const ssize_t count = send(reader, requests.data() + sent, requests.size() - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (count > 0) sent += static_cast<std::size_t>(count);
        std::this_thread::sleep_for(10ms);
    }
    int error = 0;
    for (const auto until = Clock::now() + 15s; error == 0 && Clock::now() < until;) {
        std::this_thread::sleep_for(100ms);
        socklen_t length = sizeof error;
        getsockopt(reader, SOL_SOCKET, SO_ERROR, &error, &length);
    }
    close(reader);
    EXPECT_EQ(error, ECONNRESET);
}

// Over 12.5 s, longer than the idle time, the clients below send something every 2.5 s;
// only the one that falls silent for longer than the idle time is closed. A head that
// keeps growing is bounded by a connection's memory, its sender by the per-address cap.
TEST_F(KeepAliveTest, ConnectionsInUseStayOpenButAHalfSentHeadThatFallsSilentIsClosed) {
    StartServer();
    const int port = server_->port();
    ClientSocket steady(port, "127.0.0.1");      // a whole request each time
    ClientSocket pipelining(port, "127.0.0.1");  // the rest of one request and the start of the next
    ClientSocket slow_head(port, "127.0.0.1");   // after an answer, a head sent in pieces over 7.5 s
    ClientSocket growing(port, "127.0.0.1");     // a head that grows by a line each time
    ClientSocket silent(port, "127.0.0.1");      // half a head, then nothing
    const auto start = Clock::now();
    for (int tick = 0; tick <= 5; ++tick) {
        SCOPED_TRACE("at " + std::to_string(tick * 2500) + " ms");
        std::this_thread::sleep_until(start + tick * 2500ms);
        steady.Send(HeadStart + HeadEnd);
        pipelining.Send(tick == 0 ? HeadStart + HeadEnd + HeadStart : HeadEnd + HeadStart);
        if (tick == 0) slow_head.Send(HeadStart + HeadEnd);
        if (tick == 1) slow_head.Send(HeadStart);
        if (tick == 2 || tick == 3) slow_head.Send("X-Piece: " + std::to_string(tick) + "\r\n");
        if (tick == 4) slow_head.Send(HeadEnd);
        growing.Send(tick == 0 ? HeadStart : "X-Later: " + std::to_string(tick) + "\r\n");
        if (tick == 0) silent.Send(HeadStart);

        EXPECT_EQ(steady.ReadReply(2s).status, 200);
        EXPECT_EQ(pipelining.ReadReply(2s).status, 200);
        if (tick == 0 || tick == 4) {
            EXPECT_EQ(slow_head.ReadReply(2s).status, 200);
        }
    }
    EXPECT_FALSE(steady.IsClosed());
    EXPECT_FALSE(pipelining.IsClosed());
    EXPECT_FALSE(slow_head.IsClosed());
    EXPECT_FALSE(growing.IsClosed());
    EXPECT_TRUE(silent.IsClosed());
}

}  // namespace
}  // namespace zorblet::server::testing
