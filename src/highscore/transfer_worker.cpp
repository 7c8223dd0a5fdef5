#include "highscore/transfer_worker.h"

namespace zorblet::highscore {

TransferWorker::~TransferWorker() {
    Stop();
}

void TransferWorker::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void TransferWorker::PostAt(std::uint64_t due, Job job) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        jobs_.emplace(std::make_pair(due, posted_++), std::move(job));
        if (!thread_.joinable()) thread_ = std::thread([this] { RunJobs(); });
    }
    wake_.notify_one();
}

bool TransferWorker::Busy() {
    std::lock_guard lock(mutex_);
    return running_ || (!jobs_.empty() && jobs_.begin()->first.first <= clock_.Counter());
}

void TransferWorker::RunJobs() {
    std::unique_lock lock(mutex_);
    while (true) {
        if (stopping_) return;
        if (jobs_.empty()) {
            wake_.wait(lock);
            continue;
        }
        const std::uint64_t due = jobs_.begin()->first.first;
        if (due > clock_.Counter()) {
            clock_.WaitUntil(lock, wake_, due);  // or until an earlier job is posted
            continue;
        }
        Job job = std::move(jobs_.begin()->second);
        jobs_.erase(jobs_.begin());
        running_ = true;
        lock.unlock();
        job();
        lock.lock();
        running_ = false;
    }
}

}  // namespace zorblet::highscore
