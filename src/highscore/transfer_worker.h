#pragma once
// Runs the highscore transfers one at a time, on one worker thread of their own, so the
// frame never waits for the network: jobs due now in the order they were posted, and
// jobs for later (a submission sent again) once their time has come.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace zorblet::highscore {

class TransferWorker {
public:
    using Job = std::function<void()>;
    using Clock = std::chrono::steady_clock;

    TransferWorker() = default;
    // Stop().
    ~TransferWorker();
    TransferWorker(const TransferWorker&) = delete;
    TransferWorker& operator=(const TransferWorker&) = delete;

    // Queues the job and returns at once; the thread starts with the first job.
    void Post(Job job) { PostAt(Clock::now(), std::move(job)); }
    // Queues the job to run once the time has come, after the jobs due before it.
    void PostAt(Clock::time_point due, Job job);
    // True while a job runs or one is due; jobs for later do not count.
    bool Busy();
    // Waits for the job that runs (its owner cuts it short first), drops the rest; no job
    // runs after it.
    void Stop();

private:
    void RunJobs();

    std::mutex mutex_;
    std::condition_variable wake_;
    // By due time, then by the order of posting.
    std::map<std::pair<Clock::time_point, std::uint64_t>, Job> jobs_;
    std::uint64_t posted_ = 0;
    bool running_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace zorblet::highscore
