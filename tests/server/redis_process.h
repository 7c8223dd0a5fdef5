#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "store/redis/redis_link.h"

namespace zorblet::server::testing {

// Debian's redis-server as a child process on a free loopback port, with its files in
// `folder`. Durable as operators are told to run it: every write in the append-only
// file, synced before it is answered.
class RedisProcess {
public:
    explicit RedisProcess(std::filesystem::path folder, std::vector<std::string> extra_arguments = {});
    ~RedisProcess();
    RedisProcess(const RedisProcess&) = delete;
    RedisProcess& operator=(const RedisProcess&) = delete;

    // redis://127.0.0.1:PORT
    std::string Address() const;
    int port() const { return port_; }

    void Pause() const;   // SIGSTOP: it holds connections and answers nothing
    void Resume() const;  // SIGCONT
    void Kill();          // SIGKILL and wait
    // Starts again on the same port with the same files, after Kill.
    void Start();

    // A connection of the test's own, for looking at and changing the keys directly.
    RedisLink& link();

private:
    void WaitUntilAnswering();

    std::filesystem::path folder_;
    std::vector<std::string> extra_arguments_;
    int port_ = 0;
    pid_t pid_ = -1;
    std::unique_ptr<RedisLink> link_;
};

// A few keys' replies as text, for comparing the list before and after.
std::string DescribeRedisList(RedisLink& link);

}  // namespace zorblet::server::testing
