#include "record/bytes.h"

namespace zorblet::record {

namespace {

template <typename Unsigned>
void PutFixed(std::vector<std::uint8_t>& out, Unsigned value) {
    for (std::size_t i = 0; i < sizeof(Unsigned); ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

template <typename Unsigned, std::size_t Size>
Unsigned FixedAt(std::span<const std::uint8_t, Size> bytes) {
    Unsigned value = 0;
    for (std::size_t i = 0; i < Size; ++i) value |= static_cast<Unsigned>(bytes[i]) << (8 * i);
    return value;
}

}  // namespace

void PutFixed16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    PutFixed(out, value);
}

void PutFixed32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    PutFixed(out, value);
}

void PutFixed64(std::vector<std::uint8_t>& out, std::uint64_t value) {
    PutFixed(out, value);
}

void PutVarint32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<std::uint8_t>(value | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<std::uint8_t>(value));
}

std::uint16_t Fixed16At(std::span<const std::uint8_t, 2> bytes) {
    return FixedAt<std::uint16_t>(bytes);
}

std::uint32_t Fixed32At(std::span<const std::uint8_t, 4> bytes) {
    return FixedAt<std::uint32_t>(bytes);
}

std::optional<std::uint8_t> ByteReader::Byte() {
    if (bytes_.empty()) return std::nullopt;
    const std::uint8_t value = bytes_.front();
    bytes_ = bytes_.subspan(1);
    return value;
}

std::optional<std::uint64_t> ByteReader::Fixed64() {
    const auto bytes = Bytes(8);
    if (!bytes) return std::nullopt;
    return FixedAt<std::uint64_t>(bytes->first<8>());
}

std::optional<std::uint32_t> ByteReader::Varint32() {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < MaxVarint32Bytes && i < bytes_.size(); ++i) {
        const std::uint8_t byte = bytes_[i];
        value |= static_cast<std::uint32_t>(byte & 0x7f) << (7 * i);
        if ((byte & 0x80) != 0) continue;
        // The last byte carries the top bits: zero there means a longer form than needed,
        // and in the fifth byte only four bits fit into 32.
        const bool shortest = i == 0 || byte != 0;
        const bool fits = i < MaxVarint32Bytes - 1 || byte <= 0x0f;
        if (!shortest || !fits) return std::nullopt;
        bytes_ = bytes_.subspan(i + 1);
        return value;
    }
    return std::nullopt;
}

std::optional<std::span<const std::uint8_t>> ByteReader::Bytes(std::size_t count) {
    if (count > bytes_.size()) return std::nullopt;
    const auto taken = bytes_.first(count);
    bytes_ = bytes_.subspan(count);
    return taken;
}

}  // namespace zorblet::record
