#include "bounded_thread_pool.h"

namespace zorblet::server {

BoundedThreadPool::BoundedThreadPool(std::size_t threads, std::size_t max_waiting)
    : max_waiting_(max_waiting) {
  threads_.reserve(threads);
  for (std::size_t i = 0; i < threads; ++i) threads_.emplace_back([this] { RunTasks(); });
}

BoundedThreadPool::~BoundedThreadPool() { shutdown(); }

void BoundedThreadPool::enqueue(std::function<void()> task) {
  {
    std::unique_lock lock(mutex_);
    room_ready_.wait(lock, [this] { return waiting_.size() < max_waiting_ || stopping_; });
    waiting_.push_back(std::move(task));
  }
  task_ready_.notify_one();
}

// Runs what is already queued (each task closes its connection), then joins the workers.
void BoundedThreadPool::shutdown() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  task_ready_.notify_all();
  room_ready_.notify_all();
  for (std::thread& thread : threads_) {
    if (thread.joinable()) thread.join();
  }
}

void BoundedThreadPool::RunTasks() {
  for (;;) {
    std::function<void()> task;
    {
      std::unique_lock lock(mutex_);
      task_ready_.wait(lock, [this] { return !waiting_.empty() || stopping_; });
      if (waiting_.empty()) return;
      task = std::move(waiting_.front());
      waiting_.pop_front();
    }
    room_ready_.notify_one();
    task();
  }
}

}  // namespace zorblet::server
