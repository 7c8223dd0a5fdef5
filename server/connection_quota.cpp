#include "connection_quota.h"

#include <netinet/in.h>

#include <cstring>
#include <functional>

namespace zorblet::server {

std::optional<ClientAddress> ToClientAddress(const sockaddr_storage& address) {
    ClientAddress client{};
    if (address.ss_family == AF_INET6) {
        const auto& ipv6 = reinterpret_cast<const sockaddr_in6&>(address);
        std::memcpy(client.data(), &ipv6.sin6_addr, client.size());
        return client;
    }
    if (address.ss_family == AF_INET) {
        const auto& ipv4 = reinterpret_cast<const sockaddr_in&>(address);
        client[10] = 0xFF;
        client[11] = 0xFF;
        std::memcpy(client.data() + 12, &ipv4.sin_addr, 4);
        return client;
    }
    return std::nullopt;
}

std::optional<ClientAddress> ReadPeerAddress(int socket) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return std::nullopt;
    return ToClientAddress(address);
}

std::size_t ConnectionQuota::AddressHash::operator()(const ClientAddress& address) const {
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    std::memcpy(&high, address.data(), sizeof high);
    std::memcpy(&low, address.data() + sizeof high, sizeof low);
    return std::hash<std::uint64_t>()(high * 0x9E3779B97F4A7C15ULL ^ low);
}

ConnectionQuota::ConnectionQuota(std::size_t total, std::size_t per_address)
    : total_limit_(total), per_address_limit_(per_address) {}

bool ConnectionQuota::Admit(const ClientAddress& address) {
    std::lock_guard lock(mutex_);
    if (open_ >= total_limit_) return false;
    if (per_address_limit_ != 0) {
        std::size_t& from_address = open_per_address_[address];
        if (from_address >= per_address_limit_) return false;
        ++from_address;
    }
    ++open_;
    return true;
}

void ConnectionQuota::Release(const ClientAddress& address) {
    std::lock_guard lock(mutex_);
    --open_;
    if (per_address_limit_ == 0) return;
    const auto found = open_per_address_.find(address);
    if (found != open_per_address_.end() && --found->second == 0) open_per_address_.erase(found);
}

}  // namespace zorblet::server
