#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zorblet::platform {

// Collects a reply body as the game keeps it: the first limit bytes that arrive, with NUL
// bytes dropped from a text (a binary body keeps them). A server that sends more is cut
// off rather than allowed to fill memory.
class ReplyBody {
public:
    explicit ReplyBody(std::size_t limit, bool binary = false) : limit_(limit), binary_(binary) {}

    // Takes what fits of chunk and returns how many of its bytes that was; fewer than
    // chunk.size() means the limit is reached and the rest should not be read.
    std::size_t Take(std::string_view chunk);
    std::string& Text() { return text_; }

private:
    std::size_t limit_;
    bool binary_;
    std::size_t received_ = 0;
    std::string text_;
};

}  // namespace zorblet::platform
