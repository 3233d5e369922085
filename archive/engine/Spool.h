// Bytes that a worker thread produces for the calling thread to write out
// later: held in memory up to a limit, the rest in a private work file in
// the temporary folder, removed with the spool.  Internal to the engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "archive/engine/WorkFile.h"
#include "zorellz/platform/File.h"

namespace zorellz {

// What one spool keeps in memory at most.
inline constexpr std::size_t kLZSpoolMemory = 1u << 20;

class TLZSpool {
 public:
  explicit TLZSpool(std::size_t memory_limit = kLZSpoolMemory) : limit_(memory_limit) {}
  TLZSpool(const TLZSpool&) = delete;
  TLZSpool& operator=(const TLZSpool&) = delete;

  // Raises EInOutError when the work file cannot be made or written.
  void Write(const std::uint8_t* data, std::size_t count);
  std::int64_t Size() const { return size_; }
  // Appends everything written so far to `output`.
  void CopyTo(TFile& output);

 private:
  void Spill();

  std::size_t limit_;
  std::vector<std::uint8_t> memory_;
  std::unique_ptr<TWorkFileGuard> work_file_;
  TFile file_;
  std::int64_t size_ = 0;
};

}  // namespace zorellz
