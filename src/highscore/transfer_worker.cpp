#include "highscore/transfer_worker.h"

namespace zorblet::highscore {

TransferWorker::~TransferWorker() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void TransferWorker::Post(Job job) {
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        if (!thread_.joinable()) thread_ = std::thread([this] { RunJobs(); });
    }
    wake_.notify_one();
}

bool TransferWorker::Busy() {
    std::lock_guard lock(mutex_);
    return running_ || !jobs_.empty();
}

void TransferWorker::RunJobs() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (stopping_) return;
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        running_ = true;
        lock.unlock();
        job();
        lock.lock();
        running_ = false;
    }
}

}  // namespace zorblet::highscore
