#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace zorblet::server {

// A bounded queue of jobs and the threads that run them, beside the threads that answer
// requests: submitted games are replayed here. Its threads run at a lower priority (nice
// 10) than the listener's, so that a flood of games slows their checks, never the reads
// of the list; and the queue is bounded, so that what waits takes bounded memory.
class ReplayPool {
public:
    using Clock = std::chrono::steady_clock;
    // Told how long the job waited for a thread, and whether the pool is stopping, in
    // which case the job should only answer its client (every job posted is run once).
    using Job = std::function<void(Clock::duration waited, bool stopping)>;

    ReplayPool(std::size_t threads, std::size_t capacity);
    // Stops: each thread finishes the job it runs, and the jobs still waiting are run on
    // the stopping thread with `stopping` set.
    ~ReplayPool();
    ReplayPool(const ReplayPool&) = delete;
    ReplayPool& operator=(const ReplayPool&) = delete;

    // Whether a job posted now would find room (another may take it first).
    bool HasRoom() const;
    // Queues the job; false, not running it, when `capacity` jobs wait already.
    bool Post(Job job);
    // Jobs waiting for a thread now.
    std::size_t Waiting() const;
    std::size_t capacity() const { return capacity_; }

private:
    struct Waiting_ {
        Job job;
        Clock::time_point posted;
    };
    void Work();

    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Waiting_> queue_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace zorblet::server
