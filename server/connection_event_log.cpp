#include "connection_event_log.h"

#include <chrono>
#include <string>
#include <string_view>

#include "access_log.h"

namespace zorblet::server {

namespace {

constexpr std::array<std::string_view, static_cast<std::size_t>(ConnectionEvent::Count)> EventTexts{
    "connections refused: their address holds its cap of open connections",
    "connections refused: every connection slot is taken",
    "connections closed to make room: no complete request for longest",
    "connections closed at the time-out: silent for the whole of it",
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
        WriteLogLine("zorblet-highscore-server: " + std::to_string(total - logged_[e]) + " " +
                     std::string(EventTexts[e]) + "\n");
        logged_[e] = total;
    }
}

}  // namespace zorblet::server
