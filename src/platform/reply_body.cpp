#include "platform/reply_body.h"

#include <algorithm>

namespace zorblet::platform {

std::size_t ReplyBody::Take(std::string_view chunk) {
    const std::size_t taken = std::min(chunk.size(), limit_ - received_);
    received_ += taken;
    if (binary_) {
        text_.append(chunk.substr(0, taken));
        return taken;
    }
    for (char byte : chunk.substr(0, taken)) {
        if (byte != '\0') text_ += byte;
    }
    return taken;
}

}  // namespace zorblet::platform
