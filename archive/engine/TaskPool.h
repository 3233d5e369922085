// A fixed set of threads that run an operation's tasks, for coding entries on
// several cores.  Tasks learn which thread runs them, so that each thread
// can keep resources of its own (a coder, an open archive).  The caller
// collects results in the order it submitted the tasks, through the futures.
// Internal to the engine.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace zorellz {

class TLZTaskPool {
 public:
  using TTask = std::function<void(std::size_t worker)>;

  explicit TLZTaskPool(std::size_t threads);
  // Lets every submitted task finish, then joins the threads.
  ~TLZTaskPool();
  TLZTaskPool(const TLZTaskPool&) = delete;
  TLZTaskPool& operator=(const TLZTaskPool&) = delete;

  std::size_t Threads() const { return threads_.size(); }
  // The future holds the task's exception, if it raised one.
  std::future<void> Submit(TTask task);

 private:
  void Work(std::size_t worker);

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::packaged_task<void(std::size_t)>> queue_;
  bool closing_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace zorellz
