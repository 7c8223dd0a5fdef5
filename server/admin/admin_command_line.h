#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace zorblet::server::admin {

// Where the packaged service's unit puts its admin socket.
constexpr const char* DefaultSocket = "/run/zorblet-highscore-server/admin.sock";

enum class Action { List, Remove, Restore, Log, Backup, Stats };

// What the operator asked for, checked and ready to send.
struct Invocation {
    std::string socket = DefaultSocket;
    Action action = Action::Stats;
    std::string target;                 // the request, for every action but Backup
    std::filesystem::path backup_file;  // Backup only
};

// Either an invocation, or a text to print and the exit status to end with (--help,
// --version, or a usage error).
struct ParsedInvocation {
    std::optional<Invocation> invocation;
    std::string message;
    int exit_status = 0;
};

ParsedInvocation ParseAdminArguments(std::span<const char* const> arguments);

}  // namespace zorblet::server::admin
