// zorblet-connection-flood PORT ADDRESSES PER_ADDRESS REQUESTS: from ADDRESSES loopback
// addresses (127.0.1.1 on) opens PER_ADDRESS connections each and sends half a request on
// every one, then holds them while a player at 127.0.0.1 makes REQUESTS requests, each on
// a new connection. Prints how many of the player's requests were answered within 1 s,
// their median and 99th percentile latency, and how many flood connections stayed open.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto AnswerTime = std::chrono::seconds(1);

sockaddr_in LoopbackAddress(std::uint32_t host, int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(host);
    return address;
}

// A connection from `source` to the server; -1 when it could not be made.
int Connect(std::uint32_t source, int port) {
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in from = LoopbackAddress(source, 0);
    const sockaddr_in to = LoopbackAddress(INADDR_LOOPBACK, port);
    if (socket < 0 || ::bind(socket, reinterpret_cast<const sockaddr*>(&from), sizeof from) != 0 ||
        ::connect(socket, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        if (socket >= 0) ::close(socket);
        return -1;
    }
    return socket;
}

// The time one request on a new connection took to be answered; nullopt past AnswerTime.
std::optional<Clock::duration> AskOnce(int port) {
    const auto start = Clock::now();
    const int socket = Connect(INADDR_LOOPBACK, port);
    if (socket < 0) return std::nullopt;
    constexpr std::string_view request = "GET /BestOffSQL.php HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
    ::send(socket, request.data(), request.size(), MSG_NOSIGNAL);
    std::array<char, 4096> buffer;
    bool answered = false;
    while (!answered && Clock::now() - start < AnswerTime) {
        pollfd ready{socket, POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(AnswerTime - (Clock::now() - start));
        if (::poll(&ready, 1, static_cast<int>(std::max<long>(left.count(), 0))) <= 0) break;
        const ssize_t count = ::recv(socket, buffer.data(), buffer.size(), 0);
        if (count <= 0) break;
        answered = std::string_view(buffer.data(), static_cast<std::size_t>(count)).starts_with("HTTP/1.1 200");
    }
    ::close(socket);
    if (!answered) return std::nullopt;
    return Clock::now() - start;
}

int CountOpen(const std::vector<int>& sockets) {
    int open = 0;
    for (int socket : sockets) {
        char byte = 0;
        const ssize_t count = ::recv(socket, &byte, 1, MSG_DONTWAIT | MSG_PEEK);
        open += count < 0 && errno == EAGAIN;
    }
    return open;
}

void RaiseOpenFileLimit(std::size_t needed) {
    rlimit files{needed, needed};
    if (::setrlimit(RLIMIT_NOFILE, &files) != 0) std::fprintf(stderr, "cannot raise the open file limit\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: zorblet-connection-flood PORT ADDRESSES PER_ADDRESS REQUESTS\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const int addresses = std::atoi(argv[2]);
    const int per_address = std::atoi(argv[3]);
    const int requests = std::atoi(argv[4]);
    RaiseOpenFileLimit(static_cast<std::size_t>(addresses * per_address) + 1024);
    std::vector<int> flood;
    constexpr std::string_view half = "GET /BestOffSQL.php HTTP/1.1\r\nHost: x\r\n";
    for (int a = 0; a < addresses; ++a) {
        const std::uint32_t source = (127u << 24) | (1u << 8) | static_cast<std::uint32_t>(a + 1);
        for (int c = 0; c < per_address; ++c) {
            const int socket = Connect(source, port);
            if (socket < 0) continue;
            ::send(socket, half.data(), half.size(), MSG_NOSIGNAL);
            flood.push_back(socket);
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::vector<double> milliseconds;
    for (int i = 0; i < requests; ++i) {
        if (const auto took = AskOnce(port)) milliseconds.push_back(std::chrono::duration<double, std::milli>(*took).count());
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    const auto at = [&](double share) {
        return milliseconds.empty() ? 0.0 : milliseconds[static_cast<std::size_t>(share * (milliseconds.size() - 1))];
    };
    std::printf("flood: %d addresses x %d half-sent requests, %zu connected, %d still open after the player\n",
                addresses, per_address, flood.size(), CountOpen(flood));
    std::printf("player: %zu of %d answered within 1 s (%.1f%%), median %.2f ms, p99 %.2f ms\n", milliseconds.size(),
                requests, 100.0 * static_cast<double>(milliseconds.size()) / requests, at(0.5), at(0.99));
    for (int socket : flood) ::close(socket);
    return 0;
}
