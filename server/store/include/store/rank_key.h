#pragma once

#include <cstdint>

namespace zorblet::server {

// Where an entry ranks: more points first, among equal points the smaller id.
struct RankKey {
    std::int32_t points = 0;
    std::int64_t id = 0;

    bool operator==(const RankKey&) const = default;
};

inline bool RanksBefore(const RankKey& a, const RankKey& b) {
    if (a.points != b.points) return a.points > b.points;
    return a.id < b.id;
}

}  // namespace zorblet::server
