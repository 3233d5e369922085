// Engine state that an operation holds for its length and gives back on
// every way out, exceptions included.  Internal to the engine.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "zorellz/engine/LZContext.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/engine/ZrlTypes.h"

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

// Prepares the codec of a compression level in a context's set and
// releases it at the end; EZorelLZError 40002 when it cannot be prepared.
class TLZCodecSession {
 public:
  TLZCodecSession(TLZCodecSet& codecs, std::uint8_t level);
  ~TLZCodecSession() { codecs_.Done(); }
  TLZCodecSession(const TLZCodecSession&) = delete;
  TLZCodecSession& operator=(const TLZCodecSession&) = delete;

 private:
  TLZCodecSet& codecs_;
};

// The check-password hook is asked once per operation: its answer is
// forgotten when the operation ends.
class TLZProtectionScope {
 public:
  explicit TLZProtectionScope(TLZContext& context) : context_(context) {}
  ~TLZProtectionScope() { context_.ProtectionAnswer = -1; }
  TLZProtectionScope(const TLZProtectionScope&) = delete;
  TLZProtectionScope& operator=(const TLZProtectionScope&) = delete;

 private:
  TLZContext& context_;
};

// A context's header offset at `offset` for the life of the object.
class TLZHeaderOffsetScope {
 public:
  TLZHeaderOffsetScope(TLZContext& context, std::int32_t offset)
      : restore_(context.HeaderOffset, offset) {}

 private:
  TLZRestore<std::int32_t> restore_;
};

// The version text that entries, headers and records keep for a file: at
// most 8 characters, "0" when it has none.
std::string LZFileVersionText(const std::string& file_name);

}  // namespace zorellz
