#include "store/list_moderation.h"

#include <algorithm>

namespace zorblet::server {

std::vector<std::int64_t> SortDistinctIds(std::span<const std::int64_t> ids) {
    std::vector<std::int64_t> distinct(ids.begin(), ids.end());
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    return distinct;
}

}  // namespace zorblet::server
