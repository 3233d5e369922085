// Engine state that an operation holds for its length and gives back on
// every way out, exceptions included.  Internal to the engine.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "archive/engine/ZorelLZ.h"
#include "archive/engine/ZrlTypes.h"

namespace zorellz {

// Puts a piece of engine state back as it was.
template <typename T>
class TLZRestore {
 public:
  explicit TLZRestore(T& value) : value_(value), saved_(value) {}
  TLZRestore(T& value, T during) : TLZRestore(value) { value_ = std::move(during); }
  ~TLZRestore() { value_ = std::move(saved_); }
  TLZRestore(const TLZRestore&) = delete;
  TLZRestore& operator=(const TLZRestore&) = delete;

 private:
  T& value_;
  T saved_;
};

// Prepares the codec of a compression level and releases it at the end;
// EZorelLZError 40002 when it cannot be prepared.
class TLZCodecSession {
 public:
  explicit TLZCodecSession(std::uint8_t level);
  ~TLZCodecSession();
  TLZCodecSession(const TLZCodecSession&) = delete;
  TLZCodecSession& operator=(const TLZCodecSession&) = delete;
};

// The check-password hook is asked once per operation: its answer is
// forgotten when the operation ends.
class TLZProtectionScope {
 public:
  TLZProtectionScope() = default;
  ~TLZProtectionScope() { LZResetProtection(); }
  TLZProtectionScope(const TLZProtectionScope&) = delete;
  TLZProtectionScope& operator=(const TLZProtectionScope&) = delete;
};

// The header offset at `offset` for the life of the object.
class TLZHeaderOffsetScope {
 public:
  explicit TLZHeaderOffsetScope(std::int32_t offset) : previous_(LZSetHeaderOffset(offset)) {}
  ~TLZHeaderOffsetScope() { LZSetHeaderOffset(previous_); }
  TLZHeaderOffsetScope(const TLZHeaderOffsetScope&) = delete;
  TLZHeaderOffsetScope& operator=(const TLZHeaderOffsetScope&) = delete;

 private:
  std::int32_t previous_;
};

// The version text that entries, headers and records keep for a file: at
// most 8 characters, "0" when it has none.
std::string LZFileVersionText(const std::string& file_name);

}  // namespace zorellz
