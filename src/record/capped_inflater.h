#pragma once
// zlib's inflate over a span of compressed bytes (RFC 1950: zlib header, deflate data,
// Adler-32), appending to a buffer that never grows past the limit the caller gives.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <zlib.h>

namespace zorblet::record {

class CappedInflater {
public:
    enum class Status {
        LimitReached,  // the buffer holds the limit; the stream may go on
        Ended,         // the stream ended, its Adler-32 checked
        Failed,        // damaged data, a preset dictionary, or the input ends first
    };

    // Throws std::bad_alloc when zlib cannot get its memory.
    explicit CappedInflater(std::span<const std::uint8_t> compressed);
    ~CappedInflater();
    CappedInflater(const CappedInflater&) = delete;
    CappedInflater& operator=(const CappedInflater&) = delete;

    // Inflates onto the end of out until it holds limit bytes or the stream ends.
    Status InflateUpTo(std::vector<std::uint8_t>& out, std::size_t limit);

    // Compressed bytes after the stream's end.
    std::size_t InputLeft() const { return stream_.avail_in; }
    // What zlib said of a failure.
    std::string FailureText() const;

private:
    z_stream stream_{};
    bool ended_ = false;
    int lastResult_ = Z_OK;
};

}  // namespace zorblet::record
