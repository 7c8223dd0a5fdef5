// How many connections one client address may hold open, and that the others are served
// meanwhile.

#include <array>
#include <arpa/inet.h>
#include <netinet/in.h>

#include <thread>
#include <utility>

#include "client_socket.h"
#include "http/connection_registry.h"
#include "server_test.h"

namespace zorblet::server::testing {
namespace {

using namespace std::chrono_literals;

using ConnectionCapTest = ServerTest;

constexpr const char* Attacker = "127.0.0.2";
constexpr const char* Player = "127.0.0.1";
const std::string HalfSentRequest = "GET /BestOffSQL.php HTTP/1.1\r\n";

std::vector<ClientSocket> OpenConnections(int port, const char* source, int count) {
    std::vector<ClientSocket> connections;
    connections.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) connections.emplace_back(port, source);
    return connections;
}

int CountOpen(std::vector<ClientSocket>& connections) {
    int open = 0;
    for (ClientSocket& connection : connections) open += connection.IsClosed() ? 0 : 1;
    return open;
}

// One keep-alive request on a new connection from `source`, answered in time or not at all.
HttpReply AskFrom(int port, const char* source, const std::string& target, std::chrono::milliseconds time = 2s) {
    ClientSocket connection(port, source);
    connection.Send(KeepAliveRequest(target));
    return connection.ReadReply(time);
}

// The sum of the numbers ending the log lines that contain `text`, and how many lines do.
std::pair<int, int> SumLogLines(const std::string& log, const std::string& text) {
    int sum = 0;
    int lines = 0;
    for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) {
        const std::size_t end = log.find('\n', at);
        sum += std::stoi(log.substr(log.rfind(' ', end) + 1, end));
        ++lines;
    }
    return {sum, lines};
}

// The sum and count of those log lines once the sum has reached `expected`, or after 10 s.
// A second's summary is written when the second is over: on a loaded machine that can be
// well after it.
std::pair<int, int> AwaitLogSum(ServerProcess& server, const std::string& text, int expected) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    std::pair<int, int> found = SumLogLines(server.ReadLog(), text);
    while (found.first < expected && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(100ms);
        found = SumLogLines(server.ReadLog(), text);
    }
    return found;
}

// Asks until answered: a slot the client freed by closing is released a moment later,
// when the server has seen the close.
int AskUntilAnsweredFrom(int port, const char* source) {
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    int status = 0;
    while ((status = AskFrom(port, source, "/BestOffSQL.php").status) == 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    return status;
}

TEST_F(ConnectionCapTest, AFloodOfHalfSentRequestsHoldsOnlyItsCapWhileOthersAreAnsweredAtOnce) {
    constexpr int Flood = 5000;
    if (!RaiseOpenFileLimit(Flood + 256)) GTEST_SKIP() << "the hard limit of open files is below " << Flood + 256;
    StartServer();
    std::vector<ClientSocket> flood = OpenConnections(server_->port(), Attacker, Flood);
    for (ClientSocket& connection : flood) connection.Send(HalfSentRequest);

    for (const std::string& target :
         {std::string("/BestOffSQL.php"), std::string("/ListeSQL.php?Punkte=5"), SubmitTarget(5, "Spieler")}) {
        EXPECT_EQ(AskFrom(server_->port(), Player, target).status, 200) << target;
    }
    // The player's connections were accepted after the whole flood, so every refusal is done.
    EXPECT_EQ(CountOpen(flood), 64);
    EXPECT_EQ(AskFrom(server_->port(), Attacker, "/BestOffSQL.php").status, 0);

    flood.clear();
    EXPECT_EQ(AskUntilAnsweredFrom(server_->port(), Attacker), 200);
}

// Many addresses, each under its cap, fill every slot with half-sent requests: the
// connections that have gone longest without a complete request make room, so another
// client is still served at once. (scripts/bench-server-flood runs the long form.)
TEST_F(ConnectionCapTest, WhenManyAddressesTakeEverySlotTheLongestWaitingMakeRoomForOthers) {
    // 640 open files leave 256 slots; 20 addresses with 16 half-sent requests each need 320.
    server_ = std::make_unique<ServerProcess>(ServerLaunch{Database(), {"--submit-rate", "0"}, std::nullopt, 640, true});
    std::vector<ClientSocket> flood;
    for (int address = 20; address < 40; ++address) {
        for (int i = 0; i < 16; ++i) {
            flood.emplace_back(server_->port(), "127.0.0." + std::to_string(address)).Send(HalfSentRequest);
        }
    }
    int answered = 0;
    for (int i = 0; i < 50; ++i) answered += AskFrom(server_->port(), Player, "/BestOffSQL.php", 1s).status == 200;
    EXPECT_GE(answered, 49);
    EXPECT_TRUE(flood.front().WaitUntilClosed(2s));  // the oldest made room
    EXPECT_FALSE(flood.back().IsClosed());
    EXPECT_GE(AwaitLogSum(*server_, "to make room, without a complete request for longest", 64).first, 64);
}

// A flood of refused connections shows in the log as one line a second, not one each.
TEST_F(ConnectionCapTest, RefusalsAreSummedIntoOneLogLineASecond) {
    StartServer({"--submit-rate", "0", "--max-connections-per-address", "2"});
    const auto start = std::chrono::steady_clock::now();
    std::vector<ClientSocket> held = OpenConnections(server_->port(), Attacker, 2);
    std::vector<ClientSocket> refused = OpenConnections(server_->port(), Attacker, 300);
    for (ClientSocket& connection : refused) EXPECT_TRUE(connection.WaitUntilClosed(2s));
    const auto [sum, lines] = AwaitLogSum(*server_, "their address holding its cap", 300);
    EXPECT_EQ(sum, 300);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
    EXPECT_LE(lines, seconds.count() + 1);
}

class CapAcrossLoopsTest : public ServerTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(CapAcrossLoopsTest, AThirdConnectionBeyondACapOfTwoIsClosedWhileAnotherAddressIsServed) {
    StartServer({"--submit-rate", "0", "--max-connections-per-address", "2", "--threads", GetParam()});
    // Each held connection is answered once before the next is opened: loops accept in
    // parallel, so connections opened together may be counted in another order.
    std::vector<ClientSocket> held;
    for (int i = 0; i < 2; ++i) {
        held.emplace_back(server_->port(), Attacker).Send(KeepAliveRequest("/BestOffSQL.php"));
        EXPECT_EQ(held.back().ReadReply(2s).status, 200);
    }
    ClientSocket third(server_->port(), Attacker);
    EXPECT_TRUE(third.WaitUntilClosed(2s));
    EXPECT_EQ(AskFrom(server_->port(), Player, "/BestOffSQL.php").status, 200);
    for (ClientSocket& connection : held) {
        connection.Send(KeepAliveRequest("/BestOffSQL.php"));
        EXPECT_EQ(connection.ReadReply(2s).status, 200);
    }
}

// Connections are handed to the loops in turn: with four, the three land on different ones.
INSTANTIATE_TEST_SUITE_P(Loops, CapAcrossLoopsTest, ::testing::Values("1", "4"));

struct ClosePath {
    const char* what;
    void (*end)(ClientSocket& connection);
};

// Every way a connection ends must give its slot back. With a cap of two, both slots of
// an address are used up and ended one way; the address must still be served afterwards.
// Each way runs from an address of its own, so that one way's closes cannot delay the next.
TEST_F(ConnectionCapTest, EveryWayAConnectionEndsGivesItsSlotBack) {
    StartServer({"--submit-rate", "0", "--max-connections-per-address", "2"});
    const ClosePath paths[] = {
        {"the client hangs up", [](ClientSocket&) {}},
        {"the client hangs up after an answer",
         [](ClientSocket& c) {
             c.Send(KeepAliveRequest("/BestOffSQL.php"));
             EXPECT_EQ(c.ReadReply(2s).status, 200);
         }},
        {"the server closes after an answer",
         [](ClientSocket& c) {
             c.Send("GET /BestOffSQL.php HTTP/1.1\r\nConnection: close\r\n\r\n");
             EXPECT_EQ(c.ReadReply(2s).status, 200);
             EXPECT_TRUE(c.WaitUntilClosed(2s));
         }},
        {"the server refuses a request",
         [](ClientSocket& c) {
             c.Send("\x16\x03\x01 not http\r\n\r\n");
             EXPECT_EQ(c.ReadReply(2s).status, 400);
             EXPECT_TRUE(c.WaitUntilClosed(2s));
         }},
        // Stands for every deadline: a late request head ends the same way.
        {"the idle time runs out", [](ClientSocket& c) { EXPECT_TRUE(c.WaitUntilClosed(15s)); }},
    };
    int next_address = 10;
    for (const ClosePath& path : paths) {
        SCOPED_TRACE(path.what);
        const std::string address = "127.0.0." + std::to_string(next_address++);
        {
            std::vector<ClientSocket> connections = OpenConnections(server_->port(), address.c_str(), 2);
            for (ClientSocket& connection : connections) path.end(connection);
        }
        EXPECT_EQ(AskUntilAnsweredFrom(server_->port(), address.c_str()), 200);
    }
}

// The server raises its own soft limit of open files, which it may inherit far too low.
TEST_F(ConnectionCapTest, ACapOfZeroLetsOneAddressHoldMoreConnectionsThanTheInheritedFileLimit) {
    constexpr int Connections = 1200;
    if (!RaiseOpenFileLimit(Connections + 256)) GTEST_SKIP() << "the hard limit of open files is below 1456";
    server_ = std::make_unique<ServerProcess>(
        ServerLaunch{Database(), {"--max-connections-per-address", "0"}, std::nullopt, 1024});
    std::vector<ClientSocket> held = OpenConnections(server_->port(), Attacker, Connections);
    EXPECT_EQ(AskFrom(server_->port(), Player, "/BestOffSQL.php").status, 200);
    EXPECT_EQ(CountOpen(held), Connections);
}

ClientAddress AddressOf(const char* text) {
    sockaddr_storage storage{};
    if (auto* ipv4 = reinterpret_cast<sockaddr_in*>(&storage); inet_pton(AF_INET, text, &ipv4->sin_addr) == 1) {
        ipv4->sin_family = AF_INET;
    } else {
        auto* ipv6 = reinterpret_cast<sockaddr_in6*>(&storage);
        EXPECT_EQ(inet_pton(AF_INET6, text, &ipv6->sin6_addr), 1) << text;
        ipv6->sin6_family = AF_INET6;
    }
    return ToClientAddress(reinterpret_cast<const sockaddr*>(&storage)).value();
}

TEST(ConnectionRegistry, CountsAnIpv4AddressAndItsIpv4MappedFormAsOneClient) {
    ConnectionRegistry registry(100, 2);
    EXPECT_TRUE(registry.Admit(AddressOf("192.0.2.7")));
    EXPECT_TRUE(registry.Admit(AddressOf("::ffff:192.0.2.7")));
    EXPECT_FALSE(registry.Admit(AddressOf("192.0.2.7")));
    EXPECT_FALSE(registry.Admit(AddressOf("::ffff:192.0.2.7")));
    // Neighbours in either family are other clients.
    for (const char* other : {"192.0.2.8", "::192.0.2.7", "::ffff:192.0.2.8", "2001:db8::c000:207"}) {
        EXPECT_TRUE(registry.Admit(AddressOf(other))) << other;
    }
    TrackedConnection closing;
    closing.address = AddressOf("::ffff:192.0.2.7");
    registry.Release(closing);
    EXPECT_TRUE(registry.Admit(AddressOf("192.0.2.7")));
    EXPECT_EQ(registry.CountEvents(ConnectionEvent::AddressCap), 2u);
}

// An IPv6 host is given a /64 and may use any address in it: its clients count by the
// /64, an IPv4 client by its address.
TEST(ConnectionRegistry, KeysIpv6ClientsByTheir64AndIpv4ClientsByTheirAddress) {
    const std::vector<std::pair<const char*, const char*>> keys{
        {"192.0.2.7", "192.0.2.7"},
        {"::ffff:192.0.2.7", "192.0.2.7"},
        {"2001:db8:1:2::1", "2001:db8:1:2::/64"},
        {"2001:db8:1:2:aaaa:bbbb:cccc:dddd", "2001:db8:1:2::/64"},
        {"2001:db8:1:3::1", "2001:db8:1:3::/64"},
        {"2001:db8:0:0:1::1", "2001:db8::/64"},
        {"::1", "::/64"},
        {"fe80::1:2", "fe80::/64"},
    };
    for (const auto& [address, key] : keys) EXPECT_EQ(DescribeLimitKey(AddressOf(address)), key) << address;
    EXPECT_EQ(LimitKeyOf(AddressOf("2001:db8:1:2::1")), LimitKeyOf(AddressOf("2001:db8:1:2:ffff::9")));
    EXPECT_NE(LimitKeyOf(AddressOf("2001:db8:1:2::1")), LimitKeyOf(AddressOf("2001:db8:1:3::1")));
    EXPECT_NE(LimitKeyOf(AddressOf("192.0.2.7")), LimitKeyOf(AddressOf("192.0.2.8")));

    ConnectionRegistry registry(100, 2);
    EXPECT_TRUE(registry.Admit(AddressOf("2001:db8:1:2::1")));
    EXPECT_TRUE(registry.Admit(AddressOf("2001:db8:1:2::2")));
    EXPECT_FALSE(registry.Admit(AddressOf("2001:db8:1:2:ffff:ffff:ffff:ffff")));  // the same /64: its cap is full
    EXPECT_TRUE(registry.Admit(AddressOf("2001:db8:1:3::1")));                     // the next /64 is another client
    TrackedConnection closing;
    closing.address = AddressOf("2001:db8:1:2::1");
    registry.Release(closing);
    EXPECT_TRUE(registry.Admit(AddressOf("2001:db8:1:2::77")));
}

// A connection to the server on ::1, for the one IPv6 address a test can use.
int ConnectOverIpv6(int port) {
    const int connection = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in6 server{};
    server.sin6_family = AF_INET6;
    server.sin6_port = htons(static_cast<std::uint16_t>(port));
    server.sin6_addr = in6addr_loopback;
    EXPECT_EQ(::connect(connection, reinterpret_cast<const sockaddr*>(&server), sizeof server), 0);
    return connection;
}

std::string ExchangeOverIpv6(int port, const std::string& request) {
    sockaddr_in6 server{};
    server.sin6_family = AF_INET6;
    server.sin6_port = htons(static_cast<std::uint16_t>(port));
    server.sin6_addr = in6addr_loopback;
    return ExchangeWith(reinterpret_cast<const sockaddr*>(&server), sizeof server, request);
}

TEST_F(ConnectionCapTest, AnIpv6ClientIsCappedAndItsSubmissionsLimitedByItsPrefix) {
    StartServer({"--bind", "::1", "--submit-rate", "2", "--max-connections-per-address", "1"});
    const int held = ConnectOverIpv6(server_->port());
    ASSERT_EQ(::send(held, HalfSentRequest.data(), HalfSentRequest.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(HalfSentRequest.size()));
    EXPECT_EQ(ExchangeOverIpv6(server_->port(), KeepAliveRequest("/BestOffSQL.php")), "") << "beyond the cap";
    // The held request is finished and answered, so its slot is free once the server has
    // closed it. A client that just closed it might do so before a busy server has even
    // taken the connection, which then holds the slot until its time-out.
    const std::string rest = "Host: x\r\nConnection: close\r\n\r\n";
    ASSERT_EQ(::send(held, rest.data(), rest.size(), MSG_NOSIGNAL), static_cast<ssize_t>(rest.size()));
    std::array<char, 4096> buffer;
    while (::recv(held, buffer.data(), buffer.size(), 0) > 0) {
    }
    ::close(held);
    std::vector<int> statuses;
    for (int i = 0; i < 3; ++i) {
        // Each on a connection of its own, once the one before has closed.
        for (int tries = 0; tries < 100; ++tries) {
            const std::string answer = ExchangeOverIpv6(
                server_->port(), "GET " + SubmitTarget(10 + i, "Anna") + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
            if (!answer.empty()) {
                statuses.push_back(ParseReply(answer).status);
                break;
            }
            std::this_thread::sleep_for(20ms);
        }
    }
    EXPECT_EQ(statuses, (std::vector<int>{200, 200, 429}));
    EXPECT_NE(server_->ReadLog().find("\n::1 - - ["), std::string::npos) << "the log shows the whole address";
}

}  // namespace
}  // namespace zorblet::server::testing
