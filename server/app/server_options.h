#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "store/redis/redis_link.h"

namespace zorblet::server {

// A TCP address to listen on: a numeric host and a port.
struct ListenAddress {
    std::string host;
    int port = 0;
};

// Where the Debian package is to put the viewer's files.
std::filesystem::path DefaultViewerFolder();

struct ServerOptions {
    std::string bind_address = "127.0.0.1";
    int port = 8080;
    std::filesystem::path database;  // empty: the default under the user's data directory
    std::string base_path = "/";
    int submissions_per_minute = 10;  // per address; 0 switches the limit off
    // Connection loops. One answers tens of thousands of requests a second; more add read
    // throughput on machines with many cores, but submissions from several loops queue for
    // the one database writer.
    std::size_t threads = 1;
    // Open connections one client address may hold; 0: no cap. The game opens one at a
    // time, so this only stops a single client from taking the slots all others share.
    std::size_t connections_per_address = 64;
    // Words refused in names, one a line; empty: none.
    std::filesystem::path refused_names_file;
    // Where /metrics and /healthz are answered over TCP; none unless given.
    std::optional<ListenAddress> metrics_bind;
    // The operators' Unix socket; none when empty.
    std::filesystem::path admin_socket;
    // The list in Redis instead of the SQLite file, shared with other instances.
    std::optional<RedisAddress> store;
    // Replicas that must hold each write before it is answered (with a store only).
    int redis_wait_replicas = 0;
    // The key the games' tickets are signed with; empty: "game-key" beside the database.
    std::filesystem::path game_key_file;
    // Whether scores sent without their game (the seed's request) are stored, unverified.
    bool accept_unverified = true;
    // Records kept: of this many best verified entries, and of the newest.
    std::int64_t keep_games = 10000;
    // Threads replaying submitted games, and games that may wait for one.
    std::size_t replay_threads = 1;
    std::size_t replay_queue = 64;
    // Copy the SQLite list into this Redis list and end, instead of serving.
    std::optional<RedisAddress> copy_to;
    // The watch pages' viewer: its script and stylesheet, the WebAssembly module with its
    // glue and the glyph atlas. Without them all, no game can be watched.
    std::filesystem::path viewer_folder = DefaultViewerFolder();
    bool viewer_folder_given = false;
};

// "zorblet-highscore-server VERSION", as --version prints it and the start line begins.
std::string_view DescribeProgram();

// Either options to run with, or a text to print and the exit status to end with
// (--help, --version, or a usage error).
struct ParsedOptions {
    std::optional<ServerOptions> options;
    std::string message;
    int exit_status = 0;
};

ParsedOptions ParseServerOptions(std::span<const char* const> arguments);

// $XDG_DATA_HOME/zorblet/highscores.sqlite, falling back to ~/.local/share; empty when
// neither variable is set.
std::filesystem::path FindDefaultDatabase();

}  // namespace zorblet::server
