// The record reader's inflater: it never grows its output past the limit it is given, and
// stops there at once, leaving the rest of a compression bomb unread.

#include <gtest/gtest.h>

#include <zlib.h>

#include <vector>

#include "record/capped_inflater.h"

namespace zorblet::record {
namespace {

std::vector<std::uint8_t> Compressed(const std::vector<std::uint8_t>& bytes) {
    uLongf size = compressBound(bytes.size());
    std::vector<std::uint8_t> out(size);
    EXPECT_EQ(compress2(out.data(), &size, bytes.data(), bytes.size(), 9), Z_OK);
    out.resize(size);
    return out;
}

TEST(CappedInflater, StopsAtTheLimitWithMostOfABombUnread) {
    const std::vector<std::uint8_t> bomb = Compressed(std::vector<std::uint8_t>(20'000'000, 0));
    CappedInflater inflater(bomb);
    std::vector<std::uint8_t> out;
    EXPECT_EQ(inflater.InflateUpTo(out, 1'000), CappedInflater::Status::LimitReached);
    EXPECT_EQ(out.size(), 1'000u);
    EXPECT_GT(inflater.InputLeft(), bomb.size() * 9 / 10);
    // The next limit takes up where the first stopped.
    EXPECT_EQ(inflater.InflateUpTo(out, 300'001), CappedInflater::Status::LimitReached);
    EXPECT_EQ(out.size(), 300'001u);
    EXPECT_GT(inflater.InputLeft(), bomb.size() * 9 / 10);
}

TEST(CappedInflater, EndsWithTheStreamAndFailsOnDamage) {
    std::vector<std::uint8_t> data;
    for (unsigned i = 0; i < 100'000; ++i) data.push_back(static_cast<std::uint8_t>(i * i >> 3));
    const std::vector<std::uint8_t> stream = Compressed(data);
    {
        CappedInflater inflater(stream);
        std::vector<std::uint8_t> out;
        EXPECT_EQ(inflater.InflateUpTo(out, 7), CappedInflater::Status::LimitReached);
        EXPECT_EQ(inflater.InflateUpTo(out, data.size() + 1), CappedInflater::Status::Ended);
        EXPECT_EQ(out, data);
        EXPECT_EQ(inflater.InputLeft(), 0u);
    }
    std::vector<std::uint8_t> wrongCheck = stream;
    wrongCheck.back() ^= 1;  // the Adler-32
    const std::vector<std::uint8_t> cutShort(stream.begin(), stream.end() - 10);
    for (const auto& damaged : {wrongCheck, cutShort}) {
        CappedInflater inflater(damaged);
        std::vector<std::uint8_t> out;
        EXPECT_EQ(inflater.InflateUpTo(out, data.size() + 1), CappedInflater::Status::Failed);
        EXPECT_FALSE(inflater.FailureText().empty());
    }
}

}  // namespace
}  // namespace zorblet::record
