#include "http/connection_event_log.h"

#include <chrono>
#include <string>
#include <string_view>

#include "http/access_log.h"

namespace zorblet::server {

namespace {

constexpr std::array<std::string_view, static_cast<std::size_t>(ConnectionEvent::Count)> EventTexts{
    "connections refused in the last second, their address holding its cap",
    "connections refused in the last second, every slot taken",
    "connections closed in the last second to make room, without a complete request for longest",
    "connections closed in the last second at the time-out",
};

}  // namespace

ConnectionEventLog::ConnectionEventLog(const ConnectionRegistry& registry)
    : registry_(registry), thread_([this] { Run(); }) {}

ConnectionEventLog::~ConnectionEventLog() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void ConnectionEventLog::Run() {
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::seconds(1), [this] { return stopping_; })) LogNewEvents();
    LogNewEvents();
}

void ConnectionEventLog::LogNewEvents() {
    for (std::size_t e = 0; e < logged_.size(); ++e) {
        const std::uint64_t total = registry_.CountEvents(static_cast<ConnectionEvent>(e));
        if (total == logged_[e]) continue;
        WriteLogLine("zorblet-highscore-server: " + std::string(EventTexts[e]) + ": " +
                     std::to_string(total - logged_[e]) + "\n");
        logged_[e] = total;
    }
}

}  // namespace zorblet::server
