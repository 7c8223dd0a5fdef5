// libFuzzer over the game record's reader. Whatever the bytes, the reader answers with a
// record or a reason and a message, never reads outside them (AddressSanitizer) and never
// overflows (UBSan); a record it takes is one the writer writes again and reads back the
// same.
//
// Almost every random change to a record breaks its CRC-32, and the reader stops there.
// So the mutator below works on two levels: a quarter of the time on the file's bytes as
// they are (mark, version, length, checksum), otherwise on the payload inside: it inflates
// the body, lets libFuzzer change the payload, compresses it again and writes a checksum
// that fits, so that the payload's fields, varints and columns are tried as well.

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <span>
#include <vector>

#include "record/bytes.h"
#include "record/record_format.h"

namespace {

using namespace zorblet::record;

#define REQUIRE(condition)                                                               \
    do {                                                                                 \
        if (!(condition)) {                                                              \
            std::fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                \
        }                                                                                \
    } while (false)

constexpr std::size_t HeaderBytes = 10;
constexpr std::size_t ChecksumBytes = 4;
// Payloads up to this size are changed as payloads; larger ones cost more time than they
// are worth, and only their file's bytes are changed.
constexpr std::size_t PayloadRoom = 256 * 1024;
// Records up to this many frames are written and read again.
constexpr std::size_t RoundTripFrames = 50'000;

// The payload of a record file, when it is one whose body inflates into the room.
bool InflateBody(std::span<const std::uint8_t> file, std::vector<std::uint8_t>& payload) {
    static std::vector<std::uint8_t> room(PayloadRoom);
    if (file.size() < HeaderBytes + ChecksumBytes || std::memcmp(file.data(), "ZREC", 4) != 0) return false;
    const auto body = file.subspan(HeaderBytes, file.size() - HeaderBytes - ChecksumBytes);
    uLongf size = room.size();
    uLong used = body.size();
    if (uncompress2(room.data(), &size, body.data(), &used) != Z_OK) return false;
    payload.assign(room.begin(), room.begin() + static_cast<long>(size));
    return true;
}

// The file again around a changed payload, with the version it had.
std::vector<std::uint8_t> Repack(std::span<const std::uint8_t> file, const std::vector<std::uint8_t>& payload) {
    uLongf size = compressBound(payload.size());
    std::vector<std::uint8_t> body(size);
    compress2(body.data(), &size, payload.data(), payload.size(), Z_BEST_SPEED);
    body.resize(size);
    std::vector<std::uint8_t> out(file.begin(), file.begin() + 6);
    PutFixed32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    PutFixed32(out, static_cast<std::uint32_t>(crc32_z(0, out.data(), out.size())));
    return out;
}

}  // namespace

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned int seed) {
    static std::vector<std::uint8_t> payload;
    std::minstd_rand random(seed);
    if (random() % 4 == 0 || !InflateBody({data, size}, payload)) return LLVMFuzzerMutate(data, size, maxSize);
    const std::size_t payloadSize = payload.size();
    payload.resize(std::max<std::size_t>(2 * payloadSize, 64));
    payload.resize(LLVMFuzzerMutate(payload.data(), payloadSize, payload.size()));
    const std::vector<std::uint8_t> file = Repack({data, size}, payload);
    if (file.size() > maxSize) return LLVMFuzzerMutate(data, size, maxSize);
    std::memcpy(data, file.data(), file.size());
    return file.size();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const DecodeResult result = DecodeRecord({data, size});
    REQUIRE(result.Record.has_value() == (result.Error == DecodeError::None));
    REQUIRE(result.Record.has_value() == result.Message.empty());
    if (!result.Record) return 0;
    const GameRecord& record = *result.Record;
    REQUIRE(record.Frames.size() <= MaxFrames && record.Ticket.size() <= MaxTicketBytes);
    if (record.Frames.size() > RoundTripFrames) return 0;
    const DecodeResult again = DecodeRecord(EncodeRecord(record));
    REQUIRE(again.Record.has_value() && *again.Record == record);
    return 0;
}
