#pragma once

#include <filesystem>
#include <stdexcept>

#include "ticket/game_ticket.h"

namespace zorblet::server {

// A key file that cannot be used; the message names the file and what to do.
class TicketKeyError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the ticket key from `file`, or makes the file with a new key when it is missing:
// 32 bytes, mode 0600, written whole before it appears under its name, so that instances
// starting at once on one shared file agree on one key. A file readable or writable by
// others than its owner, of another size, or that is no regular file is refused with a
// TicketKeyError, and so is one that cannot be read or made.
TicketKey LoadOrCreateTicketKey(const std::filesystem::path& file);

}  // namespace zorblet::server
