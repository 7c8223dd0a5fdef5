#include "redis_process.h"

#include <hiredis/hiredis.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace zorblet::server::testing {

namespace {

// A port nobody listens on now; the kernel picks it.
int FindFreePort() {
    const int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    close(probe);
    return ntohs(address.sin_port);
}

}  // namespace

RedisProcess::RedisProcess(std::filesystem::path folder, std::vector<std::string> extra_arguments)
    : folder_(std::move(folder)), extra_arguments_(std::move(extra_arguments)), port_(FindFreePort()) {
    Start();
}

RedisProcess::~RedisProcess() {
    link_.reset();
    if (pid_ > 0) {
        Resume();
        Kill();
    }
}

std::string RedisProcess::Address() const {
    return "redis://127.0.0.1:" + std::to_string(port_);
}

void RedisProcess::Start() {
    std::vector<std::string> arguments{"/usr/bin/redis-server", "--port", std::to_string(port_), "--bind", "127.0.0.1",
                                       "--dir", folder_.string(), "--save", "", "--appendonly", "yes",
                                       "--appendfsync", "always", "--daemonize", "no",
                                       "--logfile", (folder_ / "redis.log").string()};
    arguments.insert(arguments.end(), extra_arguments_.begin(), extra_arguments_.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        execv(argv[0], argv.data());
        _exit(127);
    }
    WaitUntilAnswering();
}

void RedisProcess::WaitUntilAnswering() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        const timeval timeout{1, 0};
        redisContext* context = redisConnectWithTimeout("127.0.0.1", port_, timeout);
        if (context != nullptr && context->err == 0) {
            auto* reply = static_cast<redisReply*>(redisCommand(context, "PING"));
            const bool answers = reply != nullptr && reply->type == REDIS_REPLY_STATUS;
            freeReplyObject(reply);
            redisFree(context);
            if (answers) return;
        } else {
            redisFree(context);
        }
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            throw std::runtime_error("redis-server ended at start");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    throw std::runtime_error("redis-server did not answer");
}

void RedisProcess::Pause() const {
    kill(pid_, SIGSTOP);
}

void RedisProcess::Resume() const {
    kill(pid_, SIGCONT);
}

void RedisProcess::Kill() {
    link_.reset();
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

RedisLink& RedisProcess::link() {
    if (!link_) {
        RedisAddress address{"127.0.0.1", port_, {}, 0};
        link_ = std::make_unique<RedisLink>(RedisLink::Settings{address, {}, std::chrono::milliseconds(5000)},
                                            std::vector<std::string>{});
    }
    return *link_;
}

std::string DescribeRedisList(RedisLink& link) {
    std::string description;
    const std::vector<std::vector<std::string>> commands{
        {"DBSIZE"}, {"GET", "zorblet:version"}, {"GET", "zorblet:next-id"}, {"HLEN", "zorblet:entries"},
        {"ZCARD", "zorblet:ranks"}, {"ZCARD", "zorblet:names"}, {"HLEN", "zorblet:removed"},
        {"LLEN", "zorblet:moderation-log"}};
    for (const RedisReply& reply : link.Pipeline(commands)) {
        description += IsNil(*reply) ? "nil" : reply->type == REDIS_REPLY_INTEGER ? std::to_string(reply->integer)
                                                                                 : std::string(TextOf(*reply));
        description += ' ';
    }
    return description;
}

}  // namespace zorblet::server::testing
