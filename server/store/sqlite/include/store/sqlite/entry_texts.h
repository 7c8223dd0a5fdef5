#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "store/rank_key.h"
#include "store/score_board.h"

namespace zorblet::server {

// The names, dates, storage times and verified marks of the entries, packed one after
// another in large chunks: some 30 bytes an entry instead of two strings and a tree node
// each. Append only; a reference stays valid for the text's life. Not synchronised; the
// owner guards it.
class EntryTexts {
public:
    using Reference = std::uint32_t;

    // Throws StorageError when the texts outgrow what a reference can address (4 GiB).
    Reference Append(std::string_view name, std::string_view date, std::int64_t stored_at, bool verified);
    void Read(Reference reference, RankedEntry& entry) const;
    std::string_view ReadName(Reference reference) const;

private:
    struct FreeChunk {
        void operator()(char* chunk) const;
    };
    std::vector<std::unique_ptr<char[], FreeChunk>> chunks_;
    std::size_t used_in_last_ = 0;
};

// One listed entry as the in-memory indexes hold it: its key and where its texts are.
struct IndexedEntry {
    std::int64_t id;
    std::int32_t points;
    EntryTexts::Reference text;
};

inline RankKey KeyOf(const IndexedEntry& entry) {
    return {entry.points, entry.id};
}

// Asks for huge pages for a large array about to be filled: at start, page faults cost
// more than the copying, most of all on virtual machines. Only a hint.
void AdviseHugePages(const void* data, std::size_t bytes);

}  // namespace zorblet::server
