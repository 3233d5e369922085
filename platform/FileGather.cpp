// The writes a file gathers (File.h), the same on every system.
#include <cstring>
#include <utility>

#include "zorellz/platform/File.h"

namespace zorellz {

void TFile::GatherWrites(std::size_t capacity) {
  HandOverGathered();
  if (capacity != gather_capacity_) {
    gather_ = capacity == 0 ? nullptr : std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
    gather_capacity_ = capacity;
  }
}

void TFile::Write(const void* buffer, std::size_t count) {
  if (count < gather_capacity_ / 16) {
    if (gathered_ + count > gather_capacity_) HandOverGathered();
    std::memcpy(gather_.get() + gathered_, buffer, count);
    gathered_ += count;
    return;
  }
  HandOverGathered();
  WriteThrough(buffer, count);
}

void TFile::HandOverGathered() {
  if (gathered_ != 0) WriteThrough(gather_.get(), std::exchange(gathered_, 0));
}

void TFile::HandOverGatheredQuietly() noexcept {
  try {
    HandOverGathered();
  } catch (...) {
    // Dropped, as the header says: only GatherWrites(0) and the operations
    // that go on with the file report it.
  }
}

}  // namespace zorellz
