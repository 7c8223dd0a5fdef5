#include "ticket/game_ticket.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/sha.h>
#include <sys/random.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace zorblet::server {

namespace {

constexpr std::uint8_t LayoutVersion = 1;
constexpr std::size_t SignedBytes = 1 + 4 + 8 + 8 + 16;
constexpr std::size_t MacBytes = 32;
constexpr std::size_t TicketBytes = SignedBytes + MacBytes;
static_assert(TicketBytes % 3 == 0 && TicketBytes / 3 * 4 == TicketTextLength,
              "a ticket's bytes fill its base64 text without padding, so each ticket has one text");

using TicketLayout = std::array<std::uint8_t, TicketBytes>;

void PutLittleEndian(std::uint8_t* out, std::uint64_t value, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint64_t GetLittleEndian(const std::uint8_t* in, std::size_t bytes) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < bytes; ++i) value |= std::uint64_t{in[i]} << (8 * i);
    return value;
}

std::array<std::uint8_t, MacBytes> Authenticate(std::span<const std::uint8_t, TicketKey::Bytes> key,
                                                const std::uint8_t* data) {
    std::array<std::uint8_t, MacBytes> mac{};
    unsigned int length = 0;
    if (HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), data, SignedBytes, mac.data(), &length) ==
            nullptr ||
        length != MacBytes) {
        throw std::runtime_error("cannot compute HMAC-SHA256");
    }
    return mac;
}

// Base64 with '-' and '_' for '+' and '/', as a URL carries it unescaped.
std::string EncodeUrlSafe(const TicketLayout& bytes) {
    std::string text(TicketTextLength + 1, '\0');  // EVP_EncodeBlock ends it with a NUL
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(),
                                        static_cast<int>(bytes.size()));
    text.resize(static_cast<std::size_t>(written));
    std::replace(text.begin(), text.end(), '+', '-');
    std::replace(text.begin(), text.end(), '/', '_');
    return text;
}

bool IsUrlSafeBase64(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

std::optional<TicketLayout> DecodeUrlSafe(std::string_view text) {
    if (text.size() != TicketTextLength || !std::all_of(text.begin(), text.end(), IsUrlSafeBase64)) return std::nullopt;
    std::string standard(text);
    std::replace(standard.begin(), standard.end(), '-', '+');
    std::replace(standard.begin(), standard.end(), '_', '/');
    std::array<std::uint8_t, TicketBytes + 3> decoded{};  // EVP_DecodeBlock writes whole groups of three
    const int length = EVP_DecodeBlock(decoded.data(), reinterpret_cast<const unsigned char*>(standard.data()),
                                       static_cast<int>(standard.size()));
    if (length != static_cast<int>(TicketBytes)) return std::nullopt;
    TicketLayout bytes{};
    std::copy_n(decoded.begin(), TicketBytes, bytes.begin());
    return bytes;
}

}  // namespace

std::string GameTicket::IdText() const {
    static constexpr char Hex[] = "0123456789abcdef";
    std::string text;
    text.reserve(id.size() * 2);
    for (std::uint8_t byte : id) {
        text += Hex[byte >> 4];
        text += Hex[byte & 0x0F];
    }
    return text;
}

void FillRandom(std::span<std::uint8_t> bytes) {
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw std::runtime_error(std::string("cannot read random numbers: ") + std::strerror(errno));
        filled += static_cast<std::size_t>(got);
    }
}

GameTicket IssueTicket(std::int64_t now) {
    GameTicket ticket;
    std::array<std::uint8_t, 4> seed{};
    FillRandom(seed);
    FillRandom(ticket.id);
    ticket.seed = static_cast<std::uint32_t>(GetLittleEndian(seed.data(), seed.size()));
    ticket.issued = now;
    ticket.expires = now + TicketLifetimeSeconds;
    return ticket;
}

TicketKey::TicketKey(std::span<const std::uint8_t, Bytes> bytes) {
    std::copy(bytes.begin(), bytes.end(), bytes_.begin());
}

TicketKey::~TicketKey() {
    OPENSSL_cleanse(bytes_.data(), bytes_.size());
}

TicketKey TicketKey::Generate() {
    std::array<std::uint8_t, Bytes> bytes{};
    FillRandom(bytes);
    TicketKey key(bytes);
    OPENSSL_cleanse(bytes.data(), bytes.size());
    return key;
}

std::string TicketKey::Sign(const GameTicket& ticket) const {
    TicketLayout bytes{};
    bytes[0] = LayoutVersion;
    PutLittleEndian(&bytes[1], ticket.seed, 4);
    PutLittleEndian(&bytes[5], static_cast<std::uint64_t>(ticket.issued), 8);
    PutLittleEndian(&bytes[13], static_cast<std::uint64_t>(ticket.expires), 8);
    std::copy(ticket.id.begin(), ticket.id.end(), &bytes[21]);
    const auto mac = Authenticate(bytes_, bytes.data());
    std::copy(mac.begin(), mac.end(), &bytes[SignedBytes]);
    return EncodeUrlSafe(bytes);
}

TicketReading TicketKey::Read(std::string_view text) const {
    const std::optional<TicketLayout> bytes = DecodeUrlSafe(text);
    if (!bytes || (*bytes)[0] != LayoutVersion) return {std::nullopt, TicketProblem::Malformed};
    const auto mac = Authenticate(bytes_, bytes->data());
    if (CRYPTO_memcmp(mac.data(), bytes->data() + SignedBytes, MacBytes) != 0) {
        return {std::nullopt, TicketProblem::ForeignSignature};
    }
    GameTicket ticket;
    ticket.seed = static_cast<std::uint32_t>(GetLittleEndian(&(*bytes)[1], 4));
    ticket.issued = static_cast<std::int64_t>(GetLittleEndian(&(*bytes)[5], 8));
    ticket.expires = static_cast<std::int64_t>(GetLittleEndian(&(*bytes)[13], 8));
    std::copy_n(&(*bytes)[21], ticket.id.size(), ticket.id.begin());
    return {ticket, TicketProblem::None};
}

std::string DigestText(std::span<const std::uint8_t> bytes) {
    std::array<std::uint8_t, SHA256_DIGEST_LENGTH> digest{};
    SHA256(bytes.data(), bytes.size(), digest.data());
    static constexpr char Hex[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t byte : digest) {
        text += Hex[byte >> 4];
        text += Hex[byte & 0xF];
    }
    return text;
}

}  // namespace zorblet::server
