#pragma once

#include <sys/socket.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace zorblet::server {

// A client's address as counted: 16 bytes of IPv6, an IPv4 address in its IPv4-mapped
// form, so that one client counts once whichever way its address was written.
using ClientAddress = std::array<std::uint8_t, 16>;

// The address held in `address`; nullopt unless it is IPv4 or IPv6.
std::optional<ClientAddress> ToClientAddress(const sockaddr* address);

// The part of a client's address that per-address limits count by. One IPv6 host is
// given a whole /64 and can pick any address in it, so IPv6 clients count by their /64;
// an IPv4 client counts by its address.
ClientAddress LimitKeyOf(const ClientAddress& address);
// The same as text: "192.0.2.7", or "2001:db8:1:2::/64".
std::string DescribeLimitKey(const ClientAddress& address);

// One open connection, from admission to close. The listener's threads mark what it
// does; the registry reads that when slots run short.
struct TrackedConnection {
    using Clock = std::chrono::steady_clock;

    int socket = -1;
    ClientAddress address{};
    std::string address_text;  // as the access log shows it
    std::string limit_key;     // as DescribeLimitKey gives it
    Clock::time_point opened;
    // Since when it has sent no complete request (nanoseconds of Clock), and whether it
    // is being answered now; written by its own thread, read when evicting.
    std::atomic<std::int64_t> waiting_since{0};
    std::atomic<bool> answering{false};
    std::atomic<std::int64_t> last_answer{0};
    std::atomic<bool> evicted{false};
    std::list<TrackedConnection*>::iterator position;  // in the registry, once tracked
    bool tracked = false;
};

// Why a connection was turned away or ended early, for the log and the metrics.
enum class ConnectionEvent { AddressCap, GlobalCap, Evicted, TimedOut, Count };

// Open connections, in all and per client address (by LimitKeyOf), across every thread of a listener:
// one client must not take the slots that all others share. When the slots run short, the
// connection that has waited longest without sending a complete request makes room.
class ConnectionRegistry {
public:
    // `per_address` 0: no cap per address.
    ConnectionRegistry(std::size_t slots, std::size_t per_address);

    // Counts a new connection from `address`; false, counting nothing, when it would exceed
    // the address's cap, or the slots are full and none can be freed.
    bool Admit(const ClientAddress& address);
    // Starts tracking an admitted connection.
    void Track(TrackedConnection& connection);
    // Uncounts a tracked connection as it closes.
    void Release(TrackedConnection& connection);

    std::size_t open() const { return open_.load(std::memory_order_relaxed); }
    std::size_t slots() const { return slots_; }
    std::uint64_t CountEvents(ConnectionEvent event) const;
    void CountEvent(ConnectionEvent event);

private:
    struct AddressHash {
        std::size_t operator()(const ClientAddress& address) const;
    };

    bool EvictLongestWaiting();  // mutex_ held

    const std::size_t slots_;
    const std::size_t per_address_limit_;
    std::mutex mutex_;
    std::atomic<std::size_t> open_{0};
    // Only addresses with open connections, so it never outgrows the slots.
    std::unordered_map<ClientAddress, std::size_t, AddressHash> open_per_address_;
    std::list<TrackedConnection*> tracked_;  // oldest first
    std::array<std::atomic<std::uint64_t>, static_cast<std::size_t>(ConnectionEvent::Count)> events_{};
};

// Nanoseconds of TrackedConnection::Clock, as the atomics above keep time.
std::int64_t TicksNow();

}  // namespace zorblet::server
