#pragma once
// A game record as bytes (docs/replay-format.md): a short header, one zlib stream with
// the record, a CRC-32 of the whole. The reader takes any bytes at all: it never reads
// past them, allocates no more than the longest game allowed needs, and says why bytes
// are not a record.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "record/game_record.h"

namespace zorblet::record {

// Why bytes are not a record, each found before the next is looked for.
enum class DecodeError : std::uint8_t {
    None,              // they are one
    Empty,             // no bytes at all
    ForeignFile,       // they do not begin with a record's mark: some other file
    Truncated,         // they end inside the header, the body or the checksum
    TrailingData,      // more bytes follow the checksum
    ChecksumMismatch,  // the CRC-32 differs: damaged on the way or on disk
    FutureVersion,     // a later layout than this reader knows
    TooManyFrames,     // a game longer than MaxFrames
    PayloadTooLarge,   // it inflates to more than its frames can need: a compression bomb
    Corrupt,           // the checksum holds, but the content is no record of this layout
};

// A short English name for logs and tests: "truncated", "checksum-mismatch", ...
std::string_view ErrorName(DecodeError error);

struct DecodeResult {
    std::optional<GameRecord> Record;       // set when the bytes are a whole, valid record
    DecodeError Error = DecodeError::None;  // why not, otherwise
    std::string Message;                    // the same as an English sentence, with details
};

// The bytes of a record, in CurrentFormatVersion. Throws std::length_error for more than
// MaxFrames frames or a ticket longer than MaxTicketBytes, std::invalid_argument for a
// record that says it is in another format version: the reader would refuse either.
std::vector<std::uint8_t> EncodeRecord(const GameRecord& record);

DecodeResult DecodeRecord(std::span<const std::uint8_t> bytes);

}  // namespace zorblet::record
