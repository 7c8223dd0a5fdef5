#pragma once

#include <sys/socket.h>
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "store/score_board.h"

namespace zorblet::server::testing {

// A fresh directory under the system's temporary directory, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

struct HttpReply {
    int status = 0;  // 0: no reply at all
    std::string body;
    std::string content_type;
};

struct ServerLaunch {
    std::filesystem::path database;  // with a store: only where the log goes
    std::vector<std::string> extra_arguments;
    // Largest file the server may write, in bytes; its writes beyond fail like a full disk.
    std::optional<std::uint64_t> file_size_limit = std::nullopt;
    // Soft limit of open files the server starts with (the hard one stays, unless pinned).
    std::optional<std::uint64_t> open_files_limit = std::nullopt;
    bool pin_open_files_limit = false;  // the hard limit too: the server cannot raise it
    std::optional<std::string> store = std::nullopt;  // --store ADDRESS instead of --db
};

struct CommandOutcome {
    int exit_status = -1;  // -1: ended by a signal
    std::string out;
    std::string err;
};

// Runs the server binary with these arguments to its end, e.g. for --version.
CommandOutcome RunServerCommand(const std::vector<std::string>& arguments);
// Runs zorblet-highscore-admin with these arguments to its end.
CommandOutcome RunAdminCommand(const std::vector<std::string>& arguments);

// A reply as the server sent it, head and body; status 0 when it is none.
HttpReply ParseReply(const std::string& answer);

// The real zorblet-highscore-server as a child process on a free loopback port, with its
// stderr in a log file next to the database.
class ServerProcess {
public:
    explicit ServerProcess(ServerLaunch launch);
    ~ServerProcess();  // stops the server if it still runs
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Sends GET (or `method`) with the target exactly as given, on a new connection.
    HttpReply Get(const std::string& target, const std::string& method = "GET") const;
    // Sends raw bytes on a new connection; returns all it receives until the server closes.
    std::string Exchange(const std::string& request) const;
    // SIGTERM and wait; returns the exit status (-1 when it died by a signal).
    int Stop();
    // SIGKILL and wait: no chance to clean up.
    void Kill();
    // Sends a signal and returns at once.
    void Signal(int signal_number) const;
    // Waits until the log holds `text` (after `after` bytes of it); false after 30 s.
    bool AwaitLog(const std::string& text, std::size_t after = 0) const;

    int port() const { return port_; }
    pid_t pid() const { return pid_; }
    std::string ReadLog() const;

private:
    void Start(const ServerLaunch& launch);
    void WaitUntilListening();
    int WaitForExit();

    std::filesystem::path log_file_;
    pid_t pid_ = -1;
    int port_ = 0;
};

// Sends raw bytes to 127.0.0.1:`port` on a new connection; returns all it receives until
// the server closes.
std::string ExchangeOnPort(int port, const std::string& request);
// The same with a server at any address, e.g. a Unix socket.
std::string ExchangeWith(const sockaddr* address, socklen_t length, const std::string& request);
// GET `target` from 127.0.0.1:`port`, e.g. a server's metrics address.
HttpReply GetFromPort(int port, const std::string& target);

// The port a server started with --metrics-bind 127.0.0.1:0 names in its log; -1 if none.
int FindMetricsPort(const ServerProcess& server);

// Fills a database file through the storage layer (the server must not be running on it).
void SeedBoard(const std::filesystem::path& database, const std::vector<ScoreEntry>& entries);

// One reply record and `count` empty records, as the protocol writes them.
std::string Record(const ScoreEntry& entry);
std::string EmptyRecords(int count);

// The submission target the game sends for these points and this name.
std::string SubmitTarget(std::int32_t points, const std::string& name);

// The number on the first line of a reply, -1 when there is none.
std::int64_t FirstNumber(const std::string& reply);

}  // namespace zorblet::server::testing
