#pragma once

#include <stdexcept>
#include <string>

namespace zorblet::platform {

// A platform service that could not be set up; its message is for the player.
class PlatformError : public std::runtime_error {
public:
    explicit PlatformError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace zorblet::platform
