#pragma once
// The record's building blocks: little-endian fixed-width integers and LEB128 varints,
// with zigzag for signed values; written to a growing buffer, read from a span that is
// never read past its end.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zorblet::record {

// The most bytes a 32-bit varint takes.
inline constexpr std::size_t MaxVarint32Bytes = 5;

// Signed values as unsigned ones with small magnitudes kept small: 0, -1, 1, -2, ...
// become 0, 1, 2, 3, ...
constexpr std::uint32_t ZigZag(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    return value < 0 ? ~(bits << 1) : bits << 1;
}
constexpr std::int32_t UnZigZag(std::uint32_t value) {
    const std::uint32_t half = value >> 1;
    return static_cast<std::int32_t>((value & 1) != 0 ? ~half : half);
}

void PutFixed16(std::vector<std::uint8_t>& out, std::uint16_t value);
void PutFixed32(std::vector<std::uint8_t>& out, std::uint32_t value);
void PutFixed64(std::vector<std::uint8_t>& out, std::uint64_t value);
// Seven bits a byte, lowest first; the top bit says that another byte follows.
void PutVarint32(std::vector<std::uint8_t>& out, std::uint32_t value);

std::uint16_t Fixed16At(std::span<const std::uint8_t, 2> bytes);
std::uint32_t Fixed32At(std::span<const std::uint8_t, 4> bytes);

// Reads the values above off the front of a span. Every read gives nothing, and takes
// nothing, where the span ends first or the bytes are no value this format writes.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t Left() const { return bytes_.size(); }
    std::optional<std::uint8_t> Byte();
    std::optional<std::uint64_t> Fixed64();
    // Only the shortest form of a value: no trailing zero byte, nothing beyond 32 bits.
    std::optional<std::uint32_t> Varint32();
    std::optional<std::span<const std::uint8_t>> Bytes(std::size_t count);

private:
    std::span<const std::uint8_t> bytes_;
};

}  // namespace zorblet::record
