// A fixed table of paths that a signal or console handler can walk without
// locks or allocation: the work files to remove if the process is stopped.
// Internal to the platform layers' WorkFiles.cpp.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

namespace zorellz {

template <typename Char, std::size_t kLongest>
class TWatchedPaths {
 public:
  // Constant: a table in static storage is zero pages until used, with no
  // work at start-up.
  constexpr TWatchedPaths() = default;

  // False when the path is too long or the table is full: the file is then
  // left to the reclaiming of stale work files.
  bool Add(const std::basic_string<Char>& path) {
    if (path.size() >= kLongest) return false;
    const std::lock_guard<std::mutex> lock(writers_);
    for (TSlot& slot : slots_) {
      if (slot.State.load() != kFree) continue;
      slot.State.store(kBusy);
      path.copy(slot.Path, path.size());
      slot.Path[path.size()] = Char{};
      slot.State.store(kHeld);
      return true;
    }
    return false;
  }

  void Remove(const std::basic_string<Char>& path) {
    const std::lock_guard<std::mutex> lock(writers_);
    for (TSlot& slot : slots_) {
      if (slot.State.load() != kHeld || std::basic_string_view<Char>(slot.Path) != path) continue;
      slot.State.store(kBusy);
      slot.Path[0] = Char{};
      slot.State.store(kFree);
      return;
    }
  }

  // Safe in a handler: takes no lock and reads only slots that hold a path.
  template <typename Visit>
  void ForEachHeld(Visit visit) const {
    for (const TSlot& slot : slots_) {
      if (slot.State.load() == kHeld) visit(slot.Path);
    }
  }

 private:
  // A slot is free, being filled or emptied, or holds a path.  Threads that
  // fill and empty slots take turns, so that none reads a path while another
  // writes it.
  enum : int { kFree, kBusy, kHeld };
  struct TSlot {
    std::atomic<int> State{kFree};
    Char Path[kLongest]{};  // zero pages until written: never cleared whole at run time
  };
  std::mutex writers_;
  std::array<TSlot, 256> slots_;
};

}  // namespace zorellz
