// Internal to the codecs that code on several threads: a helper thread, told
// to stop and joined on every way out.  `Pipe`, what the threads share, has
// a Mutex, a condition variable Changed and a flag Stopped, which a helper
// looks at whenever it waits.
#pragma once

#include <functional>
#include <mutex>
#include <thread>

namespace zorellz {

template <typename Pipe>
class TCodecHelperThread {
 public:
  // Runs body(pipe, parts...) on a new thread; raises std::system_error when
  // no thread can be had.
  template <typename Body, typename... Parts>
  TCodecHelperThread(Body body, Pipe& pipe, Parts&... parts)
      : pipe_(pipe), thread_(body, std::ref(pipe), std::ref(parts)...) {}
  ~TCodecHelperThread() {
    {
      const std::lock_guard<std::mutex> lock(pipe_.Mutex);
      pipe_.Stopped = true;
      pipe_.Changed.notify_all();
    }
    thread_.join();
  }
  TCodecHelperThread(const TCodecHelperThread&) = delete;
  TCodecHelperThread& operator=(const TCodecHelperThread&) = delete;

 private:
  Pipe& pipe_;
  std::thread thread_;
};

}  // namespace zorellz
