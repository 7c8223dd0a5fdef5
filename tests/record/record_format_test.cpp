// The game record's file format: records of every shape come back as they went in, the
// fixture files written by earlier builds still read, and bytes that are no record are
// refused, each for its own reason, without a crash (the fuzzer tries the rest).
//
// ZORBLET_RECORD_FIXTURES=1 writes tests/fixtures/record/ anew from the sample records;
// do that only when the format's version changes, keeping the old files to read.

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "record/bytes.h"
#include "record/record_format.h"
#include "record/sample_records.h"

namespace zorblet::record {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string FixtureDir = ZORBLET_RECORD_FIXTURE_DIR;

// --- the layout, written out here by hand rather than through the encoder ---

constexpr std::size_t HeaderSize = 10;

Bytes Deflate(const Bytes& payload) {
    uLongf size = compressBound(payload.size());
    Bytes out(size);
    EXPECT_EQ(compress2(out.data(), &size, payload.data(), payload.size(), 9), Z_OK);
    out.resize(size);
    return out;
}

// Mark, version, body length, body, CRC-32 of all before it.
Bytes Frame(const Bytes& body, std::uint16_t version = 1) {
    Bytes file{'Z', 'R', 'E', 'C'};
    PutFixed16(file, version);
    PutFixed32(file, static_cast<std::uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    PutFixed32(file, static_cast<std::uint32_t>(crc32_z(0, file.data(), file.size())));
    return file;
}

// The payload's fields before the frames: rules version 1, seed 0, the frame count,
// score 0, the end, a ticket of ticketSize bytes (but for the content: see below).
Bytes Head(std::uint32_t frames, std::uint8_t end = 0, std::uint32_t ticketSize = 0) {
    Bytes head;
    PutVarint32(head, 1);
    PutFixed64(head, 0);
    PutVarint32(head, frames);
    PutVarint32(head, 0);
    head.push_back(end);
    PutVarint32(head, ticketSize);
    return head;
}

Bytes Join(Bytes first, const Bytes& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

Bytes FileOfPayload(const Bytes& payload) {
    return Frame(Deflate(payload));
}

Bytes ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    EXPECT_TRUE(file) << path;
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(file) << path;
}

void ExpectRefused(const Bytes& bytes, DecodeError expected) {
    const DecodeResult result = DecodeRecord(bytes);
    EXPECT_FALSE(result.Record.has_value());
    EXPECT_EQ(ErrorName(result.Error), ErrorName(expected)) << result.Message;
    EXPECT_FALSE(result.Message.empty());
}

// A game of a few thousand frames and a ticket, as the encoder writes it.
const Bytes& GoodFile() {
    static const Bytes file = [] {
        GameRecord game = testing::HandPlayedGame(2'000);
        game.Ticket = testing::EveryByteTicket(40);
        return EncodeRecord(game);
    }();
    return file;
}

TEST(RecordFormat, EveryKindOfRecordComesBackAsItWent) {
    for (const testing::SampleRecord& sample : testing::SampleRecords()) {
        SCOPED_TRACE(sample.Name);
        const Bytes bytes = EncodeRecord(sample.Record);
        const DecodeResult result = DecodeRecord(bytes);
        ASSERT_TRUE(result.Record.has_value()) << result.Message;
        EXPECT_EQ(result.Error, DecodeError::None);
        EXPECT_TRUE(*result.Record == sample.Record);
    }
}

TEST(RecordFormat, TheLongestGameFitsAndOneFrameMoreIsRefusedByBothSides) {
    GameRecord longest{.RulesVersion = 1, .Seed = 5};
    longest.Frames.assign(MaxFrames, FrameInput{.DeltaX = 1});
    longest.Frames.back() = {.DeltaY = -7, .EscapeReleased = true};
    const DecodeResult result = DecodeRecord(EncodeRecord(longest));
    ASSERT_TRUE(result.Record.has_value()) << result.Message;
    EXPECT_TRUE(*result.Record == longest);

    longest.Frames.emplace_back();
    EXPECT_THROW(EncodeRecord(longest), std::length_error);
    ExpectRefused(FileOfPayload(Join(Head(MaxFrames + 1), Bytes(3 * (MaxFrames + 1), 0))), DecodeError::TooManyFrames);
}

TEST(RecordFormat, TheWriterRefusesWhatNoReaderWouldTake) {
    GameRecord longTicket;
    longTicket.Ticket.assign(MaxTicketBytes + 1, 'x');
    EXPECT_THROW(EncodeRecord(longTicket), std::length_error);
    GameRecord otherVersion;
    otherVersion.FormatVersion = CurrentFormatVersion + 1;
    EXPECT_THROW(EncodeRecord(otherVersion), std::invalid_argument);
}

TEST(RecordFormat, FilesWrittenEarlierStillRead) {
    const bool rewrite = std::getenv("ZORBLET_RECORD_FIXTURES") != nullptr;
    for (const testing::SampleRecord& sample : testing::SampleRecords()) {
        SCOPED_TRACE(sample.Name);
        const std::string path = FixtureDir + "/" + sample.Name + ".zrec";
        if (rewrite) WriteFile(path, EncodeRecord(sample.Record));
        const DecodeResult result = DecodeRecord(ReadFile(path));
        ASSERT_TRUE(result.Record.has_value()) << result.Message;
        EXPECT_TRUE(*result.Record == sample.Record);
    }
}

struct HostileCase {
    std::string Name;
    Bytes File;
    DecodeError Expected;
};

std::vector<HostileCase> HostileCases() {
    const Bytes& good = GoodFile();
    const auto cut = [&](std::size_t size) { return Bytes(good.begin(), good.begin() + static_cast<long>(size)); };
    const auto flipped = [&](std::size_t at, std::uint8_t bits) {
        Bytes bytes = good;
        bytes[at] ^= bits;
        return bytes;
    };
    const Bytes body(good.begin() + HeaderSize, good.end() - 4);
    const Bytes oneFrame = Join(Head(1), {0, 0, 0});
    const Bytes emptyGameHead = Head(0);
    const Bytes deflated = Deflate(oneFrame);
    Bytes badAdler = deflated;
    badAdler.back() ^= 1;
    // A zlib header that asks for a preset dictionary (FDICT, and a check that fits it).
    const Bytes withDictionary{0x78, 0xbb, 0, 0, 0, 1, 0x03, 0x00};
    const std::uint32_t bomb = 10;

    using E = DecodeError;
    return {
        {"Empty", {}, E::Empty},
        {"ZipFile", {'P', 'K', 3, 4, 20, 0, 0, 0, 8, 0}, E::ForeignFile},
        {"TextFile", {'s', 'e', 'e', 'd', ' ', '2', '0', '2', '6', '\n'}, E::ForeignFile},
        {"MarkAlone", cut(3), E::Truncated},
        {"CutInHeader", cut(7), E::Truncated},
        {"CutInBody", cut(good.size() / 2), E::Truncated},
        {"CutInChecksum", cut(good.size() - 1), E::Truncated},
        {"OneByteMore", Join(good, {0}), E::TrailingData},
        {"TwoRecords", Join(good, good), E::TrailingData},
        {"WrongChecksum", flipped(good.size() - 1, 0x01), E::ChecksumMismatch},
        {"FlippedBodyBits", flipped(HeaderSize + 20, 0x90), E::ChecksumMismatch},
        {"FlippedVersionBit", flipped(4, 0x02), E::ChecksumMismatch},
        {"FutureVersion", Frame(body, 2), E::FutureVersion},
        {"FarFutureVersion", Frame(body, 0xffff), E::FutureVersion},
        {"VersionZero", Frame(body, 0), E::Corrupt},
        {"HugeFrameCount", FileOfPayload(Head(MaxFrames + 1)), E::TooManyFrames},
        {"LargestFrameCount", FileOfPayload(Head(0xffffffff)), E::TooManyFrames},
        {"CompressionBomb", FileOfPayload(Join(Head(bomb), Bytes(2'000'000, 0))), E::PayloadTooLarge},
        {"BombAtTheFrameLimit", FileOfPayload(Join(Head(MaxFrames), Bytes(12 * std::size_t{MaxFrames}, 0))),
         E::PayloadTooLarge},
        {"BodyNotZlib", Frame({1, 2, 3, 4, 5, 6, 7, 8}), E::Corrupt},
        {"EmptyBody", Frame({}), E::Corrupt},
        {"PresetDictionary", Frame(withDictionary), E::Corrupt},
        {"WrongAdler32", Frame(badAdler), E::Corrupt},
        {"StreamCutShort", Frame(Bytes(deflated.begin(), deflated.end() - 5)), E::Corrupt},
        {"BytesAfterStream", Frame(Join(deflated, {0, 0})), E::Corrupt},
        {"EmptyPayload", FileOfPayload({}), E::Corrupt},
        {"FirstFieldsCutShort", FileOfPayload({1, 0, 0, 0}), E::Corrupt},
        {"HeadCutShort", FileOfPayload(Bytes(emptyGameHead.begin(), emptyGameHead.end() - 1)), E::Corrupt},
        {"UnknownEnd", FileOfPayload(Head(0, 3)), E::Corrupt},
        {"TicketTooLong", FileOfPayload(Join(Head(0, 0, MaxTicketBytes + 1), Bytes(MaxTicketBytes + 1, 1))),
         E::Corrupt},
        {"TicketCutShort", FileOfPayload(Join(Head(0, 0, 10), Bytes(5, 1))), E::Corrupt},
        {"TooFewFrames", FileOfPayload(Join(Head(10), Bytes(29, 0))), E::Corrupt},
        {"UnknownFlags", FileOfPayload(Join(Head(1), {0x10, 0, 0})), E::Corrupt},
        {"OverlongVarint", FileOfPayload(Join(Head(1), {0, 0x80, 0x00, 0})), E::Corrupt},
        {"VarintBeyond32Bits", FileOfPayload(Join(Head(1), {0, 0xff, 0xff, 0xff, 0xff, 0x1f, 0})), E::Corrupt},
        {"DeltasCutShort", FileOfPayload(Join(Head(2), {0, 0, 0, 0, 0x80, 0x80})), E::Corrupt},
        {"BytesAfterLastFrame", FileOfPayload(Join(oneFrame, {0})), E::Corrupt},
    };
}

TEST(RecordFormat, BytesThatAreNoRecordAreRefusedEachForItsReason) {
    // The hand-made layout is the encoder's: one frame by hand reads.
    const DecodeResult byHand = DecodeRecord(FileOfPayload(Join(Head(1, 2, 2), {7, 8, 0x0f, 0x03, 0x04})));
    ASSERT_TRUE(byHand.Record.has_value()) << byHand.Message;
    EXPECT_TRUE(*byHand.Record == (GameRecord{.RulesVersion = 1,
                                              .Frames = {{-2, 2, true, true, true, true}},
                                              .End = GameEnd::NewGame,
                                              .Ticket = {7, 8}}));
    for (const HostileCase& hostile : HostileCases()) {
        SCOPED_TRACE(hostile.Name);
        ExpectRefused(hostile.File, hostile.Expected);
    }
}

TEST(RecordFormat, EveryCutOfARecordIsTruncated) {
    const Bytes& good = GoodFile();
    for (std::size_t size = 1; size < good.size(); ++size) {
        SCOPED_TRACE(size);
        ExpectRefused(Bytes(good.begin(), good.begin() + static_cast<long>(size)), DecodeError::Truncated);
    }
}

// One bit wrong anywhere is caught: in the mark the file is someone else's, in the body's
// length it ends too early or too late, anywhere else the checksum differs.
TEST(RecordFormat, EveryFlippedBitIsCaught) {
    const Bytes& good = GoodFile();
    ASSERT_TRUE(DecodeRecord(good).Record.has_value());
    for (std::size_t at = 0; at < good.size(); ++at) {
        for (int bit = 0; bit < 8; ++bit) {
            SCOPED_TRACE(::testing::Message() << "byte " << at << ", bit " << bit);
            Bytes bytes = good;
            bytes[at] ^= static_cast<std::uint8_t>(1 << bit);
            const DecodeResult result = DecodeRecord(bytes);
            ASSERT_FALSE(result.Record.has_value());
            if (at < 4) {
                EXPECT_EQ(result.Error, DecodeError::ForeignFile);
            } else if (at >= 6 && at < HeaderSize) {
                const bool longer = ((good[at] >> bit) & 1) == 0;
                EXPECT_EQ(result.Error, longer ? DecodeError::Truncated : DecodeError::TrailingData);
            } else {
                EXPECT_EQ(result.Error, DecodeError::ChecksumMismatch);
            }
        }
    }
}

}  // namespace
}  // namespace zorblet::record
