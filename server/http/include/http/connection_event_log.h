#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "http/connection_registry.h"

namespace zorblet::server {

// Once a second, one log line per kind of connection event that happened in that second,
// with how many: a flood of refusals or time-outs shows in the log without flooding it.
class ConnectionEventLog {
public:
    explicit ConnectionEventLog(const ConnectionRegistry& registry);
    ~ConnectionEventLog();
    ConnectionEventLog(const ConnectionEventLog&) = delete;
    ConnectionEventLog& operator=(const ConnectionEventLog&) = delete;

private:
    void Run();
    void LogNewEvents();

    const ConnectionRegistry& registry_;
    std::array<std::uint64_t, static_cast<std::size_t>(ConnectionEvent::Count)> logged_{};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace zorblet::server
