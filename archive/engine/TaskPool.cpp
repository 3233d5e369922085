#include "archive/engine/TaskPool.h"

#include <utility>

#include "zorellz/codec/ZrlErrors.h"

namespace zorellz {

TLZTaskPool::TLZTaskPool(std::size_t threads) {
  if (threads == 0) threads = 1;
  threads_.reserve(threads);
  for (std::size_t worker = 0; worker < threads; ++worker) {
    threads_.emplace_back([this, worker] { Work(worker); });
  }
}

TLZTaskPool::~TLZTaskPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  ready_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

std::future<void> TLZTaskPool::Submit(TTask task) {
  std::packaged_task<void(std::size_t)> packaged(std::move(task));
  std::future<void> result = packaged.get_future();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(packaged));
  }
  ready_.notify_one();
  return result;
}

bool TLZTaskPool::RunWaitingTask() {
  std::packaged_task<void(std::size_t)> task;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (queue_.empty()) return false;
    task = std::move(queue_.front());
    queue_.pop_front();
  }
  task(Threads());
  return true;
}

TLZWorkerCoders::TLZWorkerCoders(std::size_t workers, std::uint8_t level) {
  for (std::size_t i = 0; i < workers; ++i) {
    coders_.push_back(std::make_unique<TLZCodecSet>());
    if (!coders_.back()->Init(level)) RaiseLZError(TLZErrorClass::kError, kMsgInitFailed);
  }
}

TLZWorkerCoders::~TLZWorkerCoders() {
  for (auto& coder : coders_) coder->Done();
}

TLZReportHook LZRecordProgress(std::vector<std::int32_t>& counts) {
  return [&counts](TLZReportRec&, std::int32_t count) {
    counts.push_back(count);
    return 1;
  };
}

void LZReplayProgress(TLZContext& context, const std::vector<std::int32_t>& counts) {
  if (!context.Progress) return;
  for (std::int32_t count : counts) context.Progress(context.CurrentReport, count);
}

void TLZTaskPool::Work(std::size_t worker) {
  for (;;) {
    std::packaged_task<void(std::size_t)> task;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      ready_.wait(lock, [this] { return closing_ || !queue_.empty(); });
      if (queue_.empty()) return;  // closing, and nothing left to run
      task = std::move(queue_.front());
      queue_.pop_front();
    }
    task(worker);
  }
}

}  // namespace zorellz
