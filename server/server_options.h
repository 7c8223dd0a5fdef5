#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace zorblet::server {

// Twice the processor count, at least 2 and at most 16: answering is short, and a second
// thread per processor covers the moments one waits for the disk.
std::size_t DefaultThreadCount();

struct ServerOptions {
  std::string bind_address = "127.0.0.1";
  int port = 8080;
  std::filesystem::path database;  // empty: the default under the user's data directory
  std::string base_path = "/";
  int submissions_per_minute = 10;  // per address; 0 switches the limit off
  std::size_t threads = DefaultThreadCount();  // connection loops
};

// Either options to run with, or a text to print and the exit status to end with
// (--help, or a usage error).
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
