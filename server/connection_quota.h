#pragma once

#include <sys/socket.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace zorblet::server {

// A client's address as counted: 16 bytes of IPv6, an IPv4 address in its IPv4-mapped
// form, so that one client counts once whichever way its address was written.
using ClientAddress = std::array<std::uint8_t, 16>;

// The address held in `address`; nullopt unless it is IPv4 or IPv6.
std::optional<ClientAddress> ToClientAddress(const sockaddr_storage& address);
// The peer of a connected socket; nullopt when it has gone already.
std::optional<ClientAddress> ReadPeerAddress(int socket);

// Open connections, in all and per client address, counted for every connection loop at
// once: one client must not take the slots that all others share.
class ConnectionQuota {
public:
    // `per_address` 0: no cap per address.
    ConnectionQuota(std::size_t total, std::size_t per_address);

    // Counts a new connection from `address`; false, counting nothing, when it would
    // exceed either cap.
    bool Admit(const ClientAddress& address);
    // Uncounts a connection that was admitted.
    void Release(const ClientAddress& address);

private:
    struct AddressHash {
        std::size_t operator()(const ClientAddress& address) const;
    };

    const std::size_t total_limit_;
    const std::size_t per_address_limit_;
    std::mutex mutex_;
    std::size_t open_ = 0;
    // Only addresses with open connections, so it never outgrows the total cap.
    std::unordered_map<ClientAddress, std::size_t, AddressHash> open_per_address_;
};

}  // namespace zorblet::server
