#pragma once
// A game's ticket: what the service promises a game before it is played (the seed it is
// played on, when the ticket was issued, until when it counts, and an id of its own),
// signed with the service's key so that a submitted record can show it was played on a
// seed the service gave out, once, and lately. The text is URL-safe base64 of a fixed
// layout, one text for each ticket:
//   version (1 byte, 1), seed (4 bytes), issued (8), expires (8), id (16), all integers
//   little-endian, then HMAC-SHA256 of these 37 bytes under the key (32 bytes).

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zorblet::server {

// How long after its issue a ticket counts.
inline constexpr std::int64_t TicketLifetimeSeconds = 24 * 60 * 60;
// The length of a ticket's text.
inline constexpr std::size_t TicketTextLength = 92;

struct GameTicket {
    std::uint32_t seed = 0;
    std::int64_t issued = 0;   // Unix time
    std::int64_t expires = 0;  // Unix time: issued + TicketLifetimeSeconds
    std::array<std::uint8_t, 16> id{};

    // The id as 32 lower-case hex digits: what a store remembers a used ticket by.
    std::string IdText() const;
    bool operator==(const GameTicket&) const = default;
};

// A ticket issued at `now` (Unix time): a seed and an id from the operating system's
// random numbers, the seed below 2^32 as the world's rules take it.
GameTicket IssueTicket(std::int64_t now);

// Why a text is not a ticket of this key.
enum class TicketProblem {
    None,
    Malformed,         // not the length, alphabet or version of a ticket's text
    ForeignSignature,  // its signature is not this key's: forged, changed, or of another key
};

struct TicketReading {
    std::optional<GameTicket> ticket;  // set when the text is a ticket this key signed
    TicketProblem problem = TicketProblem::None;
};

// The key tickets are signed with: 32 bytes of the operating system's random numbers.
class TicketKey {
public:
    static constexpr std::size_t Bytes = 32;

    explicit TicketKey(std::span<const std::uint8_t, Bytes> bytes);
    TicketKey(const TicketKey&) = default;
    TicketKey& operator=(const TicketKey&) = default;
    ~TicketKey();  // wipes the key's bytes

    // A fresh key from the operating system's random numbers.
    static TicketKey Generate();

    // The ticket as text, signed.
    std::string Sign(const GameTicket& ticket) const;
    // The ticket `text` stands for, when this key signed it. Takes any bytes at all; the
    // signature is compared in constant time.
    TicketReading Read(std::string_view text) const;

    std::span<const std::uint8_t, Bytes> bytes() const { return bytes_; }

private:
    std::array<std::uint8_t, Bytes> bytes_;
};

// SHA-256 of `bytes` as 64 lower-case hex digits: how a used ticket remembers the record
// that came with it, so that the same record sent again is known for a resend.
std::string DigestText(std::span<const std::uint8_t> bytes);

// Fills `bytes` from the operating system's random numbers; throws std::runtime_error when
// it cannot.
void FillRandom(std::span<std::uint8_t> bytes);

}  // namespace zorblet::server
