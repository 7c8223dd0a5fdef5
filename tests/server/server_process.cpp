#include "server_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "highscore/check_text.h"
#include "highscore/url_encoding.h"
#include "store/sqlite/sqlite_score_board.h"

namespace zorblet::server::testing {

namespace {

// Sanitizer builds start slowly.
constexpr auto StartTimeout = std::chrono::seconds(30);

std::filesystem::path MakeUniqueDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zorblet-server-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return pattern;
}

// Each start gets a log of its own, so a restart never reads its predecessor's lines.
std::filesystem::path NewLogFile(const std::filesystem::path& database) {
    static std::atomic<int> starts{0};
    return database.parent_path() / ("server-" + std::to_string(++starts) + ".log");
}

}  // namespace

TempDir::TempDir() : path_(MakeUniqueDirectory()) {}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

ServerProcess::ServerProcess(ServerLaunch launch) : log_file_(NewLogFile(launch.database)) {
    Start(launch);
    WaitUntilListening();
}

ServerProcess::~ServerProcess() {
    if (pid_ > 0) Stop();
}

void ServerProcess::Start(const ServerLaunch& launch) {
    std::vector<std::string> arguments{ZORBLET_SERVER_BINARY, "--port", "0"};
    if (launch.store) {
        arguments.insert(arguments.end(), {"--store", *launch.store});
    } else {
        arguments.insert(arguments.end(), {"--db", launch.database.string()});
    }
    arguments.insert(arguments.end(), launch.extra_arguments.begin(), launch.extra_arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const std::string log = log_file_.string();

    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {                       // only async-signal-safe calls from here on
        prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive a test run that died halfway
        const int log_descriptor = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        dup2(log_descriptor, STDOUT_FILENO);
        dup2(log_descriptor, STDERR_FILENO);
        if (launch.file_size_limit) {
            const rlimit limit{*launch.file_size_limit, *launch.file_size_limit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (launch.open_files_limit) {
            rlimit files{};
            getrlimit(RLIMIT_NOFILE, &files);
            files.rlim_cur = *launch.open_files_limit;
            if (launch.pin_open_files_limit) files.rlim_max = files.rlim_cur;
            setrlimit(RLIMIT_NOFILE, &files);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
}

void ServerProcess::WaitUntilListening() {
    const std::string listening = "listening on http://";
    const auto deadline = std::chrono::steady_clock::now() + StartTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string log = ReadLog();
        // http://127.0.0.1:PORT/ or http://[::1]:PORT/
        if (const std::size_t at = log.find(listening); at != std::string::npos) {
            const std::size_t path = log.find('/', at + listening.size());
            port_ = std::stoi(log.substr(log.rfind(':', path) + 1));
            return;
        }
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            throw std::runtime_error("server ended at start:\n" + log);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Kill();
    throw std::runtime_error("server did not start:\n" + ReadLog());
}

std::string ServerProcess::Exchange(const std::string& request) const {
    return ExchangeOnPort(port_, request);
}

std::string ExchangeOnPort(int port, const std::string& request) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ExchangeWith(reinterpret_cast<const sockaddr*>(&address), sizeof address, request);
}

std::string ExchangeWith(const sockaddr* address, socklen_t length, const std::string& request) {
    const int connection = socket(address->sa_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    std::string answer;
    if (connect(connection, address, length) == 0 &&
        send(connection, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
        std::array<char, 4096> buffer;
        for (ssize_t n; (n = recv(connection, buffer.data(), buffer.size(), 0)) > 0;) {
            answer.append(buffer.data(), static_cast<std::size_t>(n));
        }
    }
    close(connection);
    return answer;
}

namespace {

// A plain HTTP/1.1 exchange, so that the bytes on the wire are exactly those written here.
std::string CloseRequest(const std::string& method, const std::string& target) {
    return method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
}

}  // namespace

HttpReply ServerProcess::Get(const std::string& target, const std::string& method) const {
    return ParseReply(Exchange(CloseRequest(method, target)));
}

HttpReply GetFromPort(int port, const std::string& target) {
    return ParseReply(ExchangeOnPort(port, CloseRequest("GET", target)));
}

HttpReply ParseReply(const std::string& answer) {
    const std::size_t head_end = answer.find("\r\n\r\n");
    if (!answer.starts_with("HTTP/1.1 ") || head_end == std::string::npos) return {};
    HttpReply reply;
    reply.status = std::stoi(answer.substr(9, 3));
    reply.body = answer.substr(head_end + 4);
    const std::string content_type = "\r\nContent-Type: ";
    if (const std::size_t at = answer.find(content_type); at < head_end) {
        const std::size_t start = at + content_type.size();
        reply.content_type = answer.substr(start, answer.find("\r\n", start) - start);
    }
    return reply;
}

int ServerProcess::WaitForExit() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int ServerProcess::Stop() {
    kill(pid_, SIGTERM);
    return WaitForExit();
}

void ServerProcess::Kill() {
    kill(pid_, SIGKILL);
    WaitForExit();
}

void ServerProcess::Signal(int signal_number) const {
    kill(pid_, signal_number);
}

bool ServerProcess::AwaitLog(const std::string& text, std::size_t after) const {
    const auto deadline = std::chrono::steady_clock::now() + StartTimeout;
    while (ReadLog().find(text, after) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::string ServerProcess::ReadLog() const {
    std::ifstream file(log_file_, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

namespace {

CommandOutcome RunProgram(const char* program, const std::vector<std::string>& arguments) {
    const TempDir directory;
    const std::string out = (directory.path() / "out").string();
    const std::string err = (directory.path() / "err").string();
    std::vector<std::string> command{program};
    command.insert(command.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : command) argv.push_back(argument.data());
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {  // only async-signal-safe calls from here on
        dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
        dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const auto read_file = [](const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    };
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(out), read_file(err)};
}

}  // namespace

CommandOutcome RunServerCommand(const std::vector<std::string>& arguments) {
    return RunProgram(ZORBLET_SERVER_BINARY, arguments);
}

CommandOutcome RunAdminCommand(const std::vector<std::string>& arguments) {
    return RunProgram(ZORBLET_ADMIN_BINARY, arguments);
}

int FindMetricsPort(const ServerProcess& server) {
    const std::string log = server.ReadLog();
    const std::string marker = "metrics on 127.0.0.1 port ";
    const std::size_t at = log.find(marker);
    return at == std::string::npos ? -1 : std::stoi(log.substr(at + marker.size()));
}

void SeedBoard(const std::filesystem::path& database, const std::vector<ScoreEntry>& entries) {
    SqliteScoreBoard board(database);
    board.AddEntries(entries);
}

std::string Record(const ScoreEntry& entry) {
    return std::to_string(entry.points) + "\t" + entry.name + "\t" + entry.date + "\r\n";
}

std::string EmptyRecords(int count) {
    std::string records;
    for (int i = 0; i < count; ++i) records += "\t\t\r\n";
    return records;
}

std::string SubmitTarget(std::int32_t points, const std::string& name) {
    return "/HighScoreSQL.php?Punkte=" + std::to_string(points) + "&Name=" + highscore::PercentEncode(name) +
           "&Check=" + highscore::BuildCheckText(points, name);
}

std::int64_t FirstNumber(const std::string& reply) {
    const std::size_t end = reply.find("\r\n");
    if (end == std::string::npos || end == 0) return -1;
    return std::stoll(reply.substr(0, end));
}

}  // namespace zorblet::server::testing
