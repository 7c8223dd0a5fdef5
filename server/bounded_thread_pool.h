#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <httplib.h>

namespace zorblet::server {

// A fixed set of worker threads with a bounded queue of waiting connections. When the
// queue is full, enqueue waits: the accepting thread stops accepting and further clients
// wait in the kernel's listen backlog, instead of piling up memory here.
class BoundedThreadPool final : public httplib::TaskQueue {
 public:
  BoundedThreadPool(std::size_t threads, std::size_t max_waiting);
  ~BoundedThreadPool() override;

  void enqueue(std::function<void()> task) override;
  void shutdown() override;

 private:
  void RunTasks();

  const std::size_t max_waiting_;
  std::mutex mutex_;
  std::condition_variable task_ready_;
  std::condition_variable room_ready_;
  std::deque<std::function<void()>> waiting_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace zorblet::server
