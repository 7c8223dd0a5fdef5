#include "store/sqlite/entry_texts.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace zorblet::server {

namespace {

// A text record: name length, date length (one byte each), storage time (4 bytes, Unix
// time up to 2106, 0 unknown), then the name and date bytes.
constexpr std::size_t TextHeader = 6;
constexpr std::size_t MaxTextLength = 255;  // longer texts (only by hand) are cut
constexpr std::size_t ChunkBits = 21;  // a huge page each
constexpr std::size_t ChunkSize = std::size_t{1} << ChunkBits;
constexpr std::size_t MaxChunks = (std::size_t{1} << 32) >> ChunkBits;

std::string_view CutText(std::string_view text) {
    return text.substr(0, std::min(text.size(), MaxTextLength));
}

}  // namespace

void AdviseHugePages(const void* data, std::size_t bytes) {
    constexpr std::uintptr_t HugePage = std::uintptr_t{1} << 21;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + HugePage - 1) & ~(HugePage - 1);
    const std::uintptr_t end = (start + bytes) & ~(HugePage - 1);
    if (end > first) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

void EntryTexts::FreeChunk::operator()(char* chunk) const {
    std::free(chunk);
}

EntryTexts::Reference EntryTexts::Append(std::string_view name, std::string_view date, std::int64_t stored_at) {
    name = CutText(name);
    date = CutText(date);
    const std::size_t length = TextHeader + name.size() + date.size();
    if (chunks_.empty() || used_in_last_ + length > ChunkSize) {
        if (chunks_.size() == MaxChunks) throw StorageError("the list's names and dates outgrow 4 GiB of memory");
        auto* chunk = static_cast<char*>(std::aligned_alloc(ChunkSize, ChunkSize));
        if (chunk == nullptr) throw std::bad_alloc();
        chunks_.emplace_back(chunk);
        AdviseHugePages(chunk, ChunkSize);
        used_in_last_ = 0;
    }
    char* record = chunks_.back().get() + used_in_last_;
    const auto time = static_cast<std::uint32_t>(std::clamp<std::int64_t>(stored_at, 0, 0xFFFFFFFF));
    record[0] = static_cast<char>(name.size());
    record[1] = static_cast<char>(date.size());
    std::memcpy(record + 2, &time, sizeof time);
    std::memcpy(record + TextHeader, name.data(), name.size());
    std::memcpy(record + TextHeader + name.size(), date.data(), date.size());
    const auto reference = static_cast<Reference>(((chunks_.size() - 1) << ChunkBits) | used_in_last_);
    used_in_last_ += length;
    return reference;
}

void EntryTexts::Read(Reference reference, RankedEntry& entry) const {
    const char* record = chunks_[reference >> ChunkBits].get() + (reference & (ChunkSize - 1));
    const auto name_length = static_cast<unsigned char>(record[0]);
    const auto date_length = static_cast<unsigned char>(record[1]);
    std::uint32_t time = 0;
    std::memcpy(&time, record + 2, sizeof time);
    entry.stored_at = time;
    entry.name = std::string_view(record + TextHeader, name_length);
    entry.date = std::string_view(record + TextHeader + name_length, date_length);
}

std::string_view EntryTexts::ReadName(Reference reference) const {
    const char* record = chunks_[reference >> ChunkBits].get() + (reference & (ChunkSize - 1));
    return {record + TextHeader, static_cast<unsigned char>(record[0])};
}

}  // namespace zorblet::server
