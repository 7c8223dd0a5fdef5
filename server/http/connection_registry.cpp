#include "http/connection_registry.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>

#include <cstring>
#include <functional>

namespace zorblet::server {

std::int64_t TicksNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               TrackedConnection::Clock::now().time_since_epoch())
        .count();
}

std::optional<ClientAddress> ToClientAddress(const sockaddr* address) {
    ClientAddress client{};
    if (address == nullptr) return std::nullopt;
    if (address->sa_family == AF_INET6) {
        const auto* ipv6 = reinterpret_cast<const sockaddr_in6*>(address);
        std::memcpy(client.data(), &ipv6->sin6_addr, client.size());
        return client;
    }
    if (address->sa_family == AF_INET) {
        const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(address);
        client[10] = 0xFF;
        client[11] = 0xFF;
        std::memcpy(client.data() + 12, &ipv4->sin_addr, 4);
        return client;
    }
    return std::nullopt;
}

namespace {

bool IsMappedIpv4(const ClientAddress& address) {
    constexpr std::array<std::uint8_t, 12> Prefix{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    return std::equal(Prefix.begin(), Prefix.end(), address.begin());
}

}  // namespace

ClientAddress LimitKeyOf(const ClientAddress& address) {
    if (IsMappedIpv4(address)) return address;
    ClientAddress prefix = address;
    std::fill(prefix.begin() + 8, prefix.end(), 0);
    return prefix;
}

std::string DescribeLimitKey(const ClientAddress& address) {
    std::array<char, INET6_ADDRSTRLEN> text{};
    if (IsMappedIpv4(address)) {
        ::inet_ntop(AF_INET, address.data() + 12, text.data(), text.size());
        return text.data();
    }
    const ClientAddress prefix = LimitKeyOf(address);
    ::inet_ntop(AF_INET6, prefix.data(), text.data(), text.size());
    return std::string(text.data()) + "/64";
}

std::size_t ConnectionRegistry::AddressHash::operator()(const ClientAddress& address) const {
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    std::memcpy(&high, address.data(), sizeof high);
    std::memcpy(&low, address.data() + sizeof high, sizeof low);
    return std::hash<std::uint64_t>()(high * 0x9E3779B97F4A7C15ULL ^ low);
}

ConnectionRegistry::ConnectionRegistry(std::size_t slots, std::size_t per_address)
    : slots_(slots), per_address_limit_(per_address) {}

bool ConnectionRegistry::Admit(const ClientAddress& client) {
    const ClientAddress address = LimitKeyOf(client);
    std::lock_guard lock(mutex_);
    std::size_t& from_address = open_per_address_[address];
    if (per_address_limit_ != 0 && from_address >= per_address_limit_) {
        CountEvent(ConnectionEvent::AddressCap);
        return false;
    }
    if (open_ >= slots_ && !EvictLongestWaiting()) {
        if (from_address == 0) open_per_address_.erase(address);
        CountEvent(ConnectionEvent::GlobalCap);
        return false;
    }
    ++from_address;
    ++open_;
    return true;
}

// The evicted connection keeps its slot until its own thread has closed it, so the count
// may pass the slots by the few connections on their way out.
bool ConnectionRegistry::EvictLongestWaiting() {
    TrackedConnection* longest = nullptr;
    std::int64_t since = 0;
    for (TrackedConnection* connection : tracked_) {
        if (connection->evicted.load(std::memory_order_relaxed) ||
            connection->answering.load(std::memory_order_relaxed)) {
            continue;
        }
        const std::int64_t waiting = connection->waiting_since.load(std::memory_order_relaxed);
        if (longest == nullptr || waiting < since) {
            longest = connection;
            since = waiting;
        }
    }
    if (longest == nullptr) return false;
    longest->evicted = true;
    // Its thread sees the end of input and closes it; the descriptor stays its own until
    // Release, which waits for this lock.
    ::shutdown(longest->socket, SHUT_RDWR);
    CountEvent(ConnectionEvent::Evicted);
    return true;
}

void ConnectionRegistry::Track(TrackedConnection& connection) {
    std::lock_guard lock(mutex_);
    connection.position = tracked_.insert(tracked_.end(), &connection);
    connection.tracked = true;
}

void ConnectionRegistry::Release(TrackedConnection& connection) {
    std::lock_guard lock(mutex_);
    if (connection.tracked) tracked_.erase(connection.position);
    connection.tracked = false;
    --open_;
    const auto found = open_per_address_.find(LimitKeyOf(connection.address));
    if (found != open_per_address_.end() && --found->second == 0) open_per_address_.erase(found);
}

std::uint64_t ConnectionRegistry::CountEvents(ConnectionEvent event) const {
    return events_[static_cast<std::size_t>(event)].load(std::memory_order_relaxed);
}

void ConnectionRegistry::CountEvent(ConnectionEvent event) {
    events_[static_cast<std::size_t>(event)].fetch_add(1, std::memory_order_relaxed);
}

}  // namespace zorblet::server
