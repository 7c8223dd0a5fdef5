#include "record/capped_inflater.h"

#include <algorithm>
#include <new>

namespace zorblet::record {

namespace {

// The buffer grows by doubling from this, so that a small record takes little memory.
constexpr std::size_t FirstGrowth = 64 * 1024;

}  // namespace

CappedInflater::CappedInflater(std::span<const std::uint8_t> compressed) {
    // zlib reads its input through a non-const pointer but never writes it.
    stream_.next_in = const_cast<Bytef*>(compressed.data());
    stream_.avail_in = static_cast<uInt>(compressed.size());
    if (inflateInit(&stream_) != Z_OK) throw std::bad_alloc();
}

CappedInflater::~CappedInflater() {
    inflateEnd(&stream_);
}

CappedInflater::Status CappedInflater::InflateUpTo(std::vector<std::uint8_t>& out, std::size_t limit) {
    while (!ended_ && out.size() < limit) {
        const std::size_t had = out.size();
        const std::size_t room = std::min(limit - had, std::max(had, FirstGrowth));
        out.resize(had + room);
        stream_.next_out = out.data() + had;
        stream_.avail_out = static_cast<uInt>(room);
        lastResult_ = inflate(&stream_, Z_NO_FLUSH);
        out.erase(out.end() - stream_.avail_out, out.end());
        if (lastResult_ == Z_MEM_ERROR) throw std::bad_alloc();
        if (lastResult_ == Z_STREAM_END) {
            ended_ = true;
        } else if (lastResult_ != Z_OK) {
            return Status::Failed;
        }
    }
    return ended_ ? Status::Ended : Status::LimitReached;
}

std::string CappedInflater::FailureText() const {
    if (lastResult_ == Z_NEED_DICT) return "it asks for a preset dictionary";
    if (lastResult_ == Z_BUF_ERROR) return "it ends early";
    return stream_.msg != nullptr ? stream_.msg : "zlib error " + std::to_string(lastResult_);
}

}  // namespace zorblet::record
