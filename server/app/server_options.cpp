#include "server_options.h"

#include <charconv>
#include <cstdlib>
#include <string_view>

namespace zorblet::server {

namespace {

constexpr const char* UsageText =
    "Usage: zorblet-highscore-server [OPTION]...\n"
    "Serves Zorblet's online highscore list over HTTP.\n"
    "\n"
    "  --bind ADDRESS     address to listen on (default 127.0.0.1; 0.0.0.0 for all)\n"
    "  --port N           TCP port (default 8080; 0 picks a free one)\n"
    "  --db FILE          SQLite database file, created when missing\n"
    "                     (default $XDG_DATA_HOME/zorblet/highscores.sqlite)\n"
    "  --store redis://HOST:PORT[/DB] | redis+unix:///PATH[?db=N]\n"
    "                     keep the list in Redis instead of --db, shared by every\n"
    "                     instance given the same address; the password, if any,\n"
    "                     comes from the environment variable ZORBLET_REDIS_PASSWORD\n"
    "  --redis-wait-replicas N\n"
    "                     answer a submission only once N Redis replicas hold it\n"
    "                     (default 0)\n"
    "  --copy-to redis://...\n"
    "                     copy the list of --db into an empty Redis list and end\n"
    "  --base-path PATH   path the game's base address ends in (default /)\n"
    "  --submit-rate N    submissions per minute per address (default 10; 0: no limit)\n"
    "  --threads N        threads serving connections (default 1)\n"
    "  --max-connections-per-address N\n"
    "                     open connections one client address may hold; one more is\n"
    "                     closed at once (default 64; 0: no cap)\n"
    "  --refuse-names FILE\n"
    "                     refuse names containing a word of FILE (UTF-8, one word a\n"
    "                     line, case ignored); read again on SIGHUP\n"
    "  --metrics-bind ADDRESS:PORT\n"
    "                     also answer /metrics and /healthz on this TCP address\n"
    "                     (IPv6 as [ADDRESS]:PORT; off unless given)\n"
    "  --admin-socket PATH\n"
    "                     also listen for operators on this Unix socket, created\n"
    "                     with mode 0660 (off unless given)\n"
    "  --game-key-file FILE\n"
    "                     key the games' tickets are signed with, 32 bytes, made\n"
    "                     with mode 0600 when missing (default: game-key beside the\n"
    "                     database); instances on one Redis share one file\n"
    "  --unverified accept|refuse\n"
    "                     store scores sent without their game, unverified, or refuse\n"
    "                     them with 403 (default accept)\n"
    "  --keep-games N     keep the records of the N best verified entries and of the\n"
    "                     newest (default 10000)\n"
    "  --replay-threads N threads replaying submitted games (default 1)\n"
    "  --replay-queue N   games that may wait for a replay; one more is answered 503\n"
    "                     (default 64)\n"
    "  --viewer-dir DIR   the files of the page that plays a kept game (default\n"
    "                     " ZORBLET_VIEWER_DIR ");\n"
    "                     without them all, no game can be watched\n"
    "  --version          show the version\n"
    "  --help             show this text\n";

constexpr std::string_view ProgramDescription = "zorblet-highscore-server " ZORBLET_VERSION;

std::optional<long> ParseWholeNumber(std::string_view text, long lowest, long highest) {
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < lowest || value > highest) {
        return std::nullopt;
    }
    return value;
}

// The game appends the script names to its base address, so the path must end in '/'.
bool IsValidBasePath(std::string_view path) {
    if (path.empty() || path.front() != '/' || path.back() != '/') return false;
    for (char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '?' || c == '#' || c == '%') return false;
    }
    return true;
}

// "host:port", or "[host]:port" for IPv6; the host must be numeric.
std::optional<ListenAddress> ParseListenAddress(std::string_view text) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0) return std::nullopt;
    std::string_view host = text.substr(0, colon);
    if (host.front() == '[') {
        if (host.size() < 3 || host.back() != ']') return std::nullopt;
        host = host.substr(1, host.size() - 2);
    } else if (host.find(':') != std::string_view::npos) {
        return std::nullopt;
    }
    const auto port = ParseWholeNumber(text.substr(colon + 1), 0, 65535);
    if (!port) return std::nullopt;
    return ListenAddress{std::string(host), static_cast<int>(*port)};
}

ParsedOptions RefuseOptions(const std::string& problem) {
    return {std::nullopt, "zorblet-highscore-server: " + problem + "\n" + UsageText, 2};
}

// Applies one option and its value; returns a problem text, empty on success.
std::string ApplyOption(ServerOptions& options, std::string_view name, std::string_view value) {
    if (name == "--bind") {
        options.bind_address = value;
    } else if (name == "--db") {
        options.database = std::string(value);
    } else if (name == "--base-path") {
        if (!IsValidBasePath(value)) return "--base-path must start and end with '/'";
        options.base_path = value;
    } else if (name == "--refuse-names") {
        if (value.empty()) return "--refuse-names needs a file";
        options.refused_names_file = std::string(value);
    } else if (name == "--port") {
        const auto port = ParseWholeNumber(value, 0, 65535);
        if (!port) return "--port must be a number from 0 to 65535";
        options.port = static_cast<int>(*port);
    } else if (name == "--submit-rate") {
        const auto rate = ParseWholeNumber(value, 0, 1'000'000);
        if (!rate) return "--submit-rate must be a number from 0 to 1000000";
        options.submissions_per_minute = static_cast<int>(*rate);
    } else if (name == "--threads") {
        const auto threads = ParseWholeNumber(value, 1, 256);
        if (!threads) return "--threads must be a number from 1 to 256";
        options.threads = static_cast<std::size_t>(*threads);
    } else if (name == "--max-connections-per-address") {
        const auto cap = ParseWholeNumber(value, 0, 1'000'000);
        if (!cap) return "--max-connections-per-address must be a number from 0 to 1000000";
        options.connections_per_address = static_cast<std::size_t>(*cap);
    } else if (name == "--metrics-bind") {
        options.metrics_bind = ParseListenAddress(value);
        if (!options.metrics_bind) return "--metrics-bind must be ADDRESS:PORT, e.g. 127.0.0.1:9100 or [::1]:9100";
    } else if (name == "--store" || name == "--copy-to") {
        std::string problem;
        std::optional<RedisAddress> address = ParseRedisAddress(value, problem);
        if (!address) return std::string(name) + ": " + problem;
        (name == "--store" ? options.store : options.copy_to) = std::move(address);
    } else if (name == "--redis-wait-replicas") {
        const auto replicas = ParseWholeNumber(value, 0, 1000);
        if (!replicas) return "--redis-wait-replicas must be a number from 0 to 1000";
        options.redis_wait_replicas = static_cast<int>(*replicas);
    } else if (name == "--game-key-file") {
        if (value.empty()) return "--game-key-file needs a file";
        options.game_key_file = std::string(value);
    } else if (name == "--unverified") {
        if (value != "accept" && value != "refuse") return "--unverified must be accept or refuse";
        options.accept_unverified = value == "accept";
    } else if (name == "--keep-games") {
        const auto kept = ParseWholeNumber(value, 0, 1'000'000'000);
        if (!kept) return "--keep-games must be a number from 0 to 1000000000";
        options.keep_games = *kept;
    } else if (name == "--replay-threads") {
        const auto threads = ParseWholeNumber(value, 1, 256);
        if (!threads) return "--replay-threads must be a number from 1 to 256";
        options.replay_threads = static_cast<std::size_t>(*threads);
    } else if (name == "--replay-queue") {
        const auto queue = ParseWholeNumber(value, 1, 100000);
        if (!queue) return "--replay-queue must be a number from 1 to 100000";
        options.replay_queue = static_cast<std::size_t>(*queue);
    } else if (name == "--viewer-dir") {
        if (value.empty()) return "--viewer-dir needs a folder";
        options.viewer_folder = std::string(value);
        options.viewer_folder_given = true;
    } else if (name == "--admin-socket") {
        if (value.empty()) return "--admin-socket needs a path";
        options.admin_socket = std::string(value);
    } else {
        return "unknown option " + std::string(name);
    }
    return {};
}

}  // namespace

std::filesystem::path DefaultViewerFolder() {
    return ZORBLET_VIEWER_DIR;
}

std::string_view DescribeProgram() {
    return ProgramDescription;
}

ParsedOptions ParseServerOptions(std::span<const char* const> arguments) {
    ServerOptions options;
    bool given_database = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string_view name = arguments[i];
        if (name == "--help" || name == "-h") return {std::nullopt, UsageText, 0};
        if (name == "--version") return {std::nullopt, std::string(ProgramDescription) + "\n", 0};
        if (i + 1 == arguments.size()) return RefuseOptions(std::string(name) + " needs a value");
        const std::string problem = ApplyOption(options, name, arguments[++i]);
        if (!problem.empty()) return RefuseOptions(problem);
        given_database = given_database || name == "--db";
    }
    if (options.store && given_database) return RefuseOptions("--store and --db name two lists: give one of them");
    if (options.store && options.copy_to) return RefuseOptions("--copy-to copies the list of --db, not of --store");
    if (options.redis_wait_replicas > 0 && !options.store) return RefuseOptions("--redis-wait-replicas needs --store");
    return {options, {}, 0};
}

std::filesystem::path FindDefaultDatabase() {
    std::filesystem::path data_home;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg == '/') {
        data_home = xdg;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        data_home = std::filesystem::path(home) / ".local" / "share";
    } else {
        return {};
    }
    return data_home / "zorblet" / "highscores.sqlite";
}

}  // namespace zorblet::server
