#include "record/record_format.h"

#include <algorithm>
#include <array>
#include <new>
#include <stdexcept>

#include <zlib.h>

#include "record/bytes.h"
#include "record/capped_inflater.h"

namespace zorblet::record {

namespace {

// The header: the mark, the format version, the body's length; the CRC-32 follows the body.
constexpr std::array<std::uint8_t, 4> Mark{'Z', 'R', 'E', 'C'};
constexpr std::size_t HeaderBytes = 10;
constexpr std::size_t ChecksumBytes = 4;

// A record is written once and read many times: the smallest file is worth the time.
constexpr int CompressionLevel = Z_BEST_COMPRESSION;

// A frame's flags byte; the other bits are zero in this version.
constexpr std::uint8_t LeftButtonBit = 1 << 0;
constexpr std::uint8_t F2ReleasedBit = 1 << 1;
constexpr std::uint8_t F4ReleasedBit = 1 << 2;
constexpr std::uint8_t EscapeReleasedBit = 1 << 3;
constexpr std::uint8_t KnownFlagBits = 0x0f;

// The payload begins with the rules version, the seed and the frame count, so that a
// reader knows the frame count, and with it how far to inflate, after this many bytes.
constexpr std::size_t FirstFieldsMaxBytes = MaxVarint32Bytes + 8 + MaxVarint32Bytes;
// Then the score, how the game ended and the ticket.
constexpr std::size_t HeadMaxBytes = FirstFieldsMaxBytes + MaxVarint32Bytes + 1 + MaxVarint32Bytes + MaxTicketBytes;
// Then a flags byte and two varints a frame: at least 3 bytes, at most 11.
constexpr std::size_t MinFrameBytes = 3;
constexpr std::size_t MaxFrameBytes = 1 + 2 * MaxVarint32Bytes;

std::size_t PayloadLimit(std::uint32_t frames) {
    return HeadMaxBytes + std::size_t{frames} * MaxFrameBytes;
}

std::uint32_t Crc32Of(std::span<const std::uint8_t> bytes) {
    return static_cast<std::uint32_t>(crc32_z(crc32_z(0, nullptr, 0), bytes.data(), bytes.size()));
}

// --- writing ---

std::uint8_t FlagsOf(const FrameInput& frame) {
    return static_cast<std::uint8_t>((frame.LeftButton ? LeftButtonBit : 0) | (frame.F2Released ? F2ReleasedBit : 0) |
                                     (frame.F4Released ? F4ReleasedBit : 0) |
                                     (frame.EscapeReleased ? EscapeReleasedBit : 0));
}

void CheckEncodable(const GameRecord& record) {
    if (record.FormatVersion != CurrentFormatVersion) {
        throw std::invalid_argument("a game record can be written in format version " +
                                    std::to_string(CurrentFormatVersion) + " only, not " +
                                    std::to_string(record.FormatVersion));
    }
    if (record.Frames.size() > MaxFrames) {
        throw std::length_error("a game record holds at most " + std::to_string(MaxFrames) + " frames, not " +
                                std::to_string(record.Frames.size()));
    }
    if (record.Ticket.size() > MaxTicketBytes) {
        throw std::length_error("a game record's ticket has at most " + std::to_string(MaxTicketBytes) +
                                " bytes, not " + std::to_string(record.Ticket.size()));
    }
}

std::vector<std::uint8_t> EncodePayload(const GameRecord& record) {
    std::vector<std::uint8_t> payload;
    payload.reserve(HeadMaxBytes + record.Frames.size() * MinFrameBytes);
    PutVarint32(payload, record.RulesVersion);
    PutFixed64(payload, record.Seed);
    PutVarint32(payload, static_cast<std::uint32_t>(record.Frames.size()));
    PutVarint32(payload, ZigZag(record.Score));
    payload.push_back(static_cast<std::uint8_t>(record.End));
    PutVarint32(payload, static_cast<std::uint32_t>(record.Ticket.size()));
    payload.insert(payload.end(), record.Ticket.begin(), record.Ticket.end());
    // Column by column: a column's values look alike from frame to frame, which is what
    // deflate finds and shortens.
    for (const FrameInput& frame : record.Frames) payload.push_back(FlagsOf(frame));
    for (const FrameInput& frame : record.Frames) PutVarint32(payload, ZigZag(frame.DeltaX));
    for (const FrameInput& frame : record.Frames) PutVarint32(payload, ZigZag(frame.DeltaY));
    return payload;
}

std::vector<std::uint8_t> Compress(const std::vector<std::uint8_t>& payload) {
    uLongf size = compressBound(payload.size());
    std::vector<std::uint8_t> compressed(size);
    // compressBound leaves room enough, so the only failure is memory.
    if (compress2(compressed.data(), &size, payload.data(), payload.size(), CompressionLevel) != Z_OK) {
        throw std::bad_alloc();
    }
    compressed.resize(size);
    return compressed;
}

// --- reading ---

DecodeResult Fail(DecodeError error, std::string message) {
    return {std::nullopt, error, std::move(message)};
}

DecodeResult Corrupt(const std::string& what) {
    return Fail(DecodeError::Corrupt, "the record is damaged: " + what);
}

// The header, the body's length and the checksum, which every format version keeps.
std::optional<DecodeResult> CheckFrame(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return Fail(DecodeError::Empty, "the file is empty");
    const std::size_t markBytes = std::min(bytes.size(), Mark.size());
    if (!std::equal(Mark.begin(), Mark.begin() + markBytes, bytes.begin())) {
        return Fail(DecodeError::ForeignFile, "this is not a Zorblet game record: it does not begin with ZREC");
    }
    if (bytes.size() < HeaderBytes) {
        return Fail(DecodeError::Truncated, "the record ends inside its header, after " + std::to_string(bytes.size()) +
                                                " of " + std::to_string(HeaderBytes) + " bytes");
    }
    const std::uint64_t whole = HeaderBytes + std::uint64_t{Fixed32At(bytes.subspan<6, 4>())} + ChecksumBytes;
    if (bytes.size() < whole) {
        return Fail(DecodeError::Truncated, "the record ends after " + std::to_string(bytes.size()) + " of its " +
                                                std::to_string(whole) + " bytes");
    }
    if (bytes.size() > whole) {
        return Fail(DecodeError::TrailingData, std::to_string(bytes.size() - whole) + " bytes follow the record's end");
    }
    if (Crc32Of(bytes.first(bytes.size() - ChecksumBytes)) != Fixed32At(bytes.last<ChecksumBytes>())) {
        return Fail(DecodeError::ChecksumMismatch, "the record's checksum does not match its bytes: it is damaged");
    }
    return std::nullopt;
}

struct FirstFields {
    std::uint32_t RulesVersion = 0;
    std::uint64_t Seed = 0;
    std::uint32_t FrameCount = 0;
};

std::optional<FirstFields> ReadFirstFields(ByteReader& reader) {
    const auto rules = reader.Varint32();
    const auto seed = reader.Fixed64();
    const auto frames = reader.Varint32();
    if (!rules || !seed || !frames) return std::nullopt;
    return FirstFields{*rules, *seed, *frames};
}

// The score, the end and the ticket, after the first fields.
std::optional<std::string> ReadHead(ByteReader& reader, GameRecord& record) {
    const auto score = reader.Varint32();
    const auto end = reader.Byte();
    const auto ticketBytes = reader.Varint32();
    if (!score || !end || !ticketBytes) return "its fields end early";
    if (*end > LastGameEnd) return "the game ended in an unknown way (" + std::to_string(*end) + ")";
    if (*ticketBytes > MaxTicketBytes) return "its ticket is " + std::to_string(*ticketBytes) + " bytes long";
    const auto ticket = reader.Bytes(*ticketBytes);
    if (!ticket) return "its ticket ends early";
    record.Score = UnZigZag(*score);
    record.End = static_cast<GameEnd>(*end);
    record.Ticket.assign(ticket->begin(), ticket->end());
    return std::nullopt;
}

std::optional<std::string> ReadFlags(ByteReader& reader, std::vector<FrameInput>& frames) {
    const auto flags = reader.Bytes(frames.size());
    if (!flags) return "its frames' flags end early";
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const std::uint8_t bits = (*flags)[i];
        if ((bits & ~KnownFlagBits) != 0) return "frame " + std::to_string(i) + " has unknown flags";
        frames[i].LeftButton = (bits & LeftButtonBit) != 0;
        frames[i].F2Released = (bits & F2ReleasedBit) != 0;
        frames[i].F4Released = (bits & F4ReleasedBit) != 0;
        frames[i].EscapeReleased = (bits & EscapeReleasedBit) != 0;
    }
    return std::nullopt;
}

std::optional<std::string> ReadDeltas(ByteReader& reader, std::vector<FrameInput>& frames,
                                      std::int32_t FrameInput::*delta) {
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const auto value = reader.Varint32();
        if (!value) return "frame " + std::to_string(i) + "'s mouse motion is damaged or missing";
        frames[i].*delta = UnZigZag(*value);
    }
    return std::nullopt;
}

DecodeResult ParsePayload(std::span<const std::uint8_t> payload, std::uint16_t formatVersion) {
    ByteReader reader(payload);
    GameRecord record;
    record.FormatVersion = formatVersion;
    const FirstFields first = *ReadFirstFields(reader);  // read once already
    record.RulesVersion = first.RulesVersion;
    record.Seed = first.Seed;
    if (auto failure = ReadHead(reader, record)) return Corrupt(*failure);
    // Room for the frames is taken only once the bytes for them are there.
    if (reader.Left() / MinFrameBytes < first.FrameCount) {
        return Corrupt("it is too short for its " + std::to_string(first.FrameCount) + " frames");
    }
    record.Frames.resize(first.FrameCount);
    if (auto failure = ReadFlags(reader, record.Frames)) return Corrupt(*failure);
    if (auto failure = ReadDeltas(reader, record.Frames, &FrameInput::DeltaX)) return Corrupt(*failure);
    if (auto failure = ReadDeltas(reader, record.Frames, &FrameInput::DeltaY)) return Corrupt(*failure);
    if (reader.Left() != 0) return Corrupt(std::to_string(reader.Left()) + " bytes follow its last frame");
    return {std::move(record), DecodeError::None, {}};
}

// Inflates the frame count first and refuses a game too long before inflating the rest,
// which may not inflate past what that many frames can need.
DecodeResult DecodeBody(std::span<const std::uint8_t> body, std::uint16_t formatVersion) {
    CappedInflater inflater(body);
    std::vector<std::uint8_t> payload;
    if (inflater.InflateUpTo(payload, FirstFieldsMaxBytes) == CappedInflater::Status::Failed) {
        return Corrupt("its compressed data cannot be inflated: " + inflater.FailureText());
    }
    ByteReader reader(payload);
    const std::optional<FirstFields> first = ReadFirstFields(reader);
    if (!first) return Corrupt("its first fields end early");
    if (first->FrameCount > MaxFrames) {
        return Fail(DecodeError::TooManyFrames, "the record claims " + std::to_string(first->FrameCount) +
                                                    " frames, more than the " + std::to_string(MaxFrames) +
                                                    " of a three-hour game");
    }
    const std::size_t limit = PayloadLimit(first->FrameCount);
    const CappedInflater::Status status = inflater.InflateUpTo(payload, limit + 1);
    if (payload.size() > limit) {
        return Fail(DecodeError::PayloadTooLarge, "the record inflates to more than the " + std::to_string(limit) +
                                                      " bytes its " + std::to_string(first->FrameCount) +
                                                      " frames can need");
    }
    if (status != CappedInflater::Status::Ended) {
        return Corrupt("its compressed data cannot be inflated: " + inflater.FailureText());
    }
    if (inflater.InputLeft() != 0) {
        return Corrupt(std::to_string(inflater.InputLeft()) + " bytes follow its compressed data");
    }
    return ParsePayload(payload, formatVersion);
}

}  // namespace

std::string_view ErrorName(DecodeError error) {
    switch (error) {
        case DecodeError::None:
            return "none";
        case DecodeError::Empty:
            return "empty";
        case DecodeError::ForeignFile:
            return "foreign-file";
        case DecodeError::Truncated:
            return "truncated";
        case DecodeError::TrailingData:
            return "trailing-data";
        case DecodeError::ChecksumMismatch:
            return "checksum-mismatch";
        case DecodeError::FutureVersion:
            return "future-version";
        case DecodeError::TooManyFrames:
            return "too-many-frames";
        case DecodeError::PayloadTooLarge:
            return "payload-too-large";
        case DecodeError::Corrupt:
            return "corrupt";
    }
    return "unknown";
}

std::vector<std::uint8_t> EncodeRecord(const GameRecord& record) {
    CheckEncodable(record);
    const std::vector<std::uint8_t> body = Compress(EncodePayload(record));
    std::vector<std::uint8_t> file(Mark.begin(), Mark.end());
    file.reserve(HeaderBytes + body.size() + ChecksumBytes);
    PutFixed16(file, CurrentFormatVersion);
    PutFixed32(file, static_cast<std::uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    PutFixed32(file, Crc32Of(file));
    return file;
}

DecodeResult DecodeRecord(std::span<const std::uint8_t> bytes) {
    if (auto failure = CheckFrame(bytes)) return std::move(*failure);
    const std::uint16_t version = Fixed16At(bytes.subspan<4, 2>());
    if (version > CurrentFormatVersion) {
        return Fail(DecodeError::FutureVersion, "the record is in format version " + std::to_string(version) +
                                                    ", newer than this reader's " +
                                                    std::to_string(CurrentFormatVersion));
    }
    if (version == 0) return Corrupt("format version 0 does not exist");
    return DecodeBody(bytes.subspan(HeaderBytes, bytes.size() - HeaderBytes - ChecksumBytes), version);
}

}  // namespace zorblet::record
