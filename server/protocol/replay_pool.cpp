#include "protocol/replay_pool.h"

#include <sys/resource.h>
#include <unistd.h>

namespace zorblet::server {

namespace {

// Below the listener's threads: nice applies to the calling thread alone on Linux.
constexpr int WorkerNiceness = 10;

void LowerThisThreadsPriority() {
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), WorkerNiceness);
}

}  // namespace

ReplayPool::ReplayPool(std::size_t threads, std::size_t capacity) : capacity_(capacity) {
    threads_.reserve(threads);
    for (std::size_t i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
}

ReplayPool::~ReplayPool() {
    std::deque<Waiting_> left;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
    left.swap(queue_);
    for (Waiting_& waiting : left) waiting.job(Clock::now() - waiting.posted, true);
}

bool ReplayPool::HasRoom() const {
    std::lock_guard lock(mutex_);
    return !stopping_ && queue_.size() < capacity_;
}

bool ReplayPool::Post(Job job) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_ || queue_.size() >= capacity_) return false;
        queue_.push_back({std::move(job), Clock::now()});
    }
    wake_.notify_one();
    return true;
}

std::size_t ReplayPool::Waiting() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
}

void ReplayPool::Work() {
    LowerThisThreadsPriority();
    for (;;) {
        Waiting_ next;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) return;
            next = std::move(queue_.front());
            queue_.pop_front();
        }
        next.job(Clock::now() - next.posted, false);
    }
}

}  // namespace zorblet::server
