#include "store/name_key.h"

#include <algorithm>

#include "platform/cp1252.h"

namespace zorblet::server {

NameKey FoldName(std::string_view name) {
    NameKey key{};
    const std::size_t length = std::min(name.size(), key.size());
    for (std::size_t i = 0; i < length; ++i) key[i] = platform::LowerCp1252(name[i]);
    return key;
}

}  // namespace zorblet::server
