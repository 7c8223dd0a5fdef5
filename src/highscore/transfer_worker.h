#pragma once
// Runs the highscore transfers one at a time, on one worker thread of their own, so the
// frame never waits for the network: jobs due now in the order they were posted, and
// jobs for later (a submission sent again) once the clock has come to their time.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/clock.h"

namespace zorblet::highscore {

class TransferWorker {
public:
    using Job = std::function<void()>;

    // Times the jobs for later by the clock's counter; any thread may read the clock.
    explicit TransferWorker(platform::Clock& clock) : clock_(clock) {}
    // Stop().
    ~TransferWorker();
    TransferWorker(const TransferWorker&) = delete;
    TransferWorker& operator=(const TransferWorker&) = delete;

    // Queues the job and returns at once; the thread starts with the first job.
    void Post(Job job) { PostAt(clock_.Counter(), std::move(job)); }
    // Queues the job to run once the clock's counter has reached due, after the jobs due
    // before it.
    void PostAt(std::uint64_t due, Job job);
    // True while a job runs or one is due; jobs for later do not count.
    bool Busy();
    // Waits for the job that runs (its owner cuts it short first), drops the rest; no job
    // runs after it.
    void Stop();

private:
    void RunJobs();

    platform::Clock& clock_;
    std::mutex mutex_;
    std::condition_variable wake_;
    // By due time, then by the order of posting.
    std::map<std::pair<std::uint64_t, std::uint64_t>, Job> jobs_;
    std::uint64_t posted_ = 0;
    bool running_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace zorblet::highscore
