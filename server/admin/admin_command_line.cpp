#include "admin_command_line.h"

#include <string_view>
#include <vector>

#include "highscore/url_encoding.h"
#include "ops/admin_protocol.h"
#include "query/values.h"

namespace zorblet::server::admin {

namespace {

constexpr const char* UsageText =
    "Usage: zorblet-highscore-admin [--socket PATH] COMMAND [ARGUMENT]...\n"
    "Moderates and inspects a running zorblet-highscore-server through its admin socket.\n"
    "\n"
    "  list [--places A-B] [--name PREFIX] [--since YYYY-MM-DD] [--removed]\n"
    "                     entries, one a line: id, place, points, name, date, time stored\n"
    "                     (TAB-separated); --removed lists the removed ones\n"
    "  remove ID... [--reason TEXT]\n"
    "                     takes entries out of every list; the places below move up\n"
    "  restore ID...      brings removed entries back to their places\n"
    "  log                the moderation log: time, action, ids, reason\n"
    "  backup FILE        writes a consistent copy of the database to FILE\n"
    "  stats              entries listed and removed, database size, uptime, recent scores\n"
    "\n"
    "  --socket PATH      the service's admin socket\n"
    "                     (default /run/zorblet-highscore-server/admin.sock)\n"
    "  --version          show the version\n"
    "  --help             show this text\n";

constexpr std::string_view ProgramName = "zorblet-highscore-admin";

ParsedInvocation Refuse(const std::string& problem) {
    return {std::nullopt, std::string(ProgramName) + ": " + problem + " (see " + std::string(ProgramName) + " --help)\n",
            2};
}

// The arguments after the command's name.
using Arguments = std::span<const char* const>;

void AppendParameter(std::string& query, std::string_view name, std::string_view value) {
    query += query.empty() ? '?' : '&';
    query += std::string(name) + '=' + highscore::PercentEncode(value);
}

// Returns a problem, empty when the list's options are fine.
std::string ParseList(Arguments arguments, Invocation& invocation) {
    std::string query;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view option = arguments[i];
        if (option == "--removed") {
            AppendParameter(query, "removed", "1");
            continue;
        }
        if (option != "--places" && option != "--name" && option != "--since") return "list takes no " + std::string(option);
        if (i + 1 == arguments.size()) return std::string(option) + " needs a value";
        const std::string_view value = arguments[++i];
        if (option == "--places" && !ParsePlaceRange(value)) {
            return "--places must be A-B, two places from 1 on, A not after B";
        }
        if (option == "--since" && !ParseDay(value)) return "--since must be a day YYYY-MM-DD";
        AppendParameter(query, option.substr(2), value);
    }
    invocation.target = std::string(EntriesPath) + query;
    return {};
}

std::string ParseModeration(Arguments arguments, Invocation& invocation, bool remove) {
    std::string ids;
    std::optional<std::string_view> reason;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (remove && argument == "--reason") {
            if (i + 1 == arguments.size()) return "--reason needs a value";
            reason = arguments[++i];
            continue;
        }
        if (!ParseEntryId(argument)) return "not an entry id: " + std::string(argument);
        if (!ids.empty()) ids += ',';
        ids += argument;
    }
    if (ids.empty()) return std::string(remove ? "remove" : "restore") + " needs at least one entry id";
    std::string query;
    AppendParameter(query, "ids", ids);
    if (reason) AppendParameter(query, "reason", *reason);
    invocation.target = std::string(remove ? RemovePath : RestorePath) + query;
    return {};
}

std::string ParseCommand(std::string_view command, Arguments arguments, Invocation& invocation) {
    if (command == "list") {
        invocation.action = Action::List;
        return ParseList(arguments, invocation);
    }
    if (command == "remove" || command == "restore") {
        invocation.action = command == "remove" ? Action::Remove : Action::Restore;
        return ParseModeration(arguments, invocation, command == "remove");
    }
    if (command == "backup") {
        invocation.action = Action::Backup;
        if (arguments.size() != 1) return "backup needs one FILE";
        invocation.backup_file = arguments[0];
        return {};
    }
    if (command == "log" || command == "stats") {
        invocation.action = command == "log" ? Action::Log : Action::Stats;
        invocation.target = std::string(command == "log" ? LogPath : StatsPath);
        return arguments.empty() ? std::string() : std::string(command) + " takes no arguments";
    }
    return "unknown command " + std::string(command);
}

}  // namespace

ParsedInvocation ParseAdminArguments(std::span<const char* const> arguments) {
    Invocation invocation;
    std::size_t i = 1;
    for (; i < arguments.size() && std::string_view(arguments[i]).starts_with("-"); ++i) {
        const std::string_view option = arguments[i];
        if (option == "--help" || option == "-h") return {std::nullopt, UsageText, 0};
        if (option == "--version") return {std::nullopt, std::string(ProgramName) + " " ZORBLET_VERSION "\n", 0};
        if (option != "--socket") return Refuse("unknown option " + std::string(option));
        if (i + 1 == arguments.size()) return Refuse("--socket needs a value");
        invocation.socket = arguments[++i];
    }
    if (i == arguments.size()) return Refuse("no command given");
    const std::string problem = ParseCommand(arguments[i], arguments.subspan(i + 1), invocation);
    if (!problem.empty()) return Refuse(problem);
    return {invocation, {}, 0};
}

}  // namespace zorblet::server::admin
