// The reply body's size limit and NUL dropping, at the edges of the limit.

#include "platform/reply_body.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace zorblet::platform {
namespace {

using namespace std::string_literals;

struct BodyCase {
    const char* Name;
    std::vector<std::string> Chunks;
    std::vector<std::size_t> Taken;
    std::string Text;
};

// Test names and failure messages show the case's name, not its bytes.
void PrintTo(const BodyCase& c, std::ostream* out) {
    *out << c.Name;
}

class ReplyBodyTest : public ::testing::TestWithParam<BodyCase> {};

TEST_P(ReplyBodyTest, KeepsTheFirstBytesUpToTheLimitWithoutNuls) {
    const BodyCase& c = GetParam();
    ReplyBody body(8);
    std::vector<std::size_t> taken;
    for (const std::string& chunk : c.Chunks) taken.push_back(body.Take(chunk));
    EXPECT_EQ(taken, c.Taken);
    EXPECT_EQ(body.Text(), c.Text);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReplyBodyTest,
                         ::testing::Values(BodyCase{"UnderTheLimit", {"abc", "def"}, {3, 3}, "abcdef"},
                                           BodyCase{"ExactlyTheLimit", {"abcd", "efgh"}, {4, 4}, "abcdefgh"},
                                           BodyCase{
                                               "ChunkAcrossTheLimit", {"abcde", "fghij", "k"}, {5, 3, 0}, "abcdefgh"},
                                           BodyCase{"NulsDroppedTheRestKept", {"a\0b"s, "\0\0c"s}, {3, 3}, "abc"},
                                           BodyCase{"NulsCountTowardTheLimit", {"\0\0\0\0\0\0ab"s, "c"}, {8, 0}, "ab"}),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace zorblet::platform
