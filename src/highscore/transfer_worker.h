#pragma once
// Runs the highscore transfers one at a time, in the order they were posted, on one
// worker thread of their own, so the frame never waits for the network.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace zorblet::highscore {

class TransferWorker {
public:
    using Job = std::function<void()>;

    TransferWorker() = default;
    // Waits for the job that runs, drops the rest. The program never gets here (it ends
    // with its workers running); tests do.
    ~TransferWorker();
    TransferWorker(const TransferWorker&) = delete;
    TransferWorker& operator=(const TransferWorker&) = delete;

    // Queues the job and returns at once; the thread starts with the first job.
    void Post(Job job);
    // True while a job waits or runs.
    bool Busy();

private:
    void RunJobs();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool running_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace zorblet::highscore
