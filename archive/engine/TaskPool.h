// A fixed set of threads that run an operation's tasks, for coding entries on
// several cores, with the calling thread as one more worker while it waits.
// Tasks learn which worker runs them, so that each can keep resources of its
// own (a coder, an open archive).  The caller collects results in the order
// it submitted the tasks, through the futures.
// Internal to the engine.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "zorellz/codec/ZrlCodec.h"
#include "zorellz/engine/LZContext.h"

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
  // Runs the tasks that no thread has taken yet on the calling thread,
  // oldest first, until `done` is ready or none is waiting.  A caller that
  // would only wait for a result works meanwhile: it is worker Threads(),
  // after the pool's own.  `done` is a std::future<void> or a
  // std::shared_future<void>.
  template <typename TFuture>
  void HelpUntilReady(const TFuture& done) {
    while (done.valid() && done.wait_for(std::chrono::seconds(0)) != std::future_status::ready &&
           RunWaitingTask()) {
    }
  }

 private:
  void Work(std::size_t worker);
  // Runs the oldest task no thread has taken on the calling thread; false
  // when there is none.
  bool RunWaitingTask();

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::packaged_task<void(std::size_t)>> queue_;
  bool closing_ = false;
  std::vector<std::thread> threads_;
};

// One coder set per worker, prepared for `level` (EZorelLZError 40002 when
// one cannot be) and released with the object.
class TLZWorkerCoders {
 public:
  TLZWorkerCoders(std::size_t workers, std::uint8_t level);
  ~TLZWorkerCoders();
  TLZWorkerCoders(const TLZWorkerCoders&) = delete;
  TLZWorkerCoders& operator=(const TLZWorkerCoders&) = delete;

  TLZCodecSet& operator[](std::size_t worker) { return *coders_[worker]; }

 private:
  std::vector<std::unique_ptr<TLZCodecSet>> coders_;
};

// A worker's progress function: keeps each byte count in `counts`.
TLZReportHook LZRecordProgress(std::vector<std::int32_t>& counts);
// Tells the context's progress function, with its current record, the
// counts a worker kept, as the serial operation would have told them.
void LZReplayProgress(TLZContext& context, const std::vector<std::int32_t>& counts);

}  // namespace zorellz
