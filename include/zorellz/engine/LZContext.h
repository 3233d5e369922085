// The engine's context: every setting, hook and piece of per-operation state
// of one caller.  Each operation runs on the context it is given, so two
// contexts never see each other's settings, hooks or codecs; one context
// runs one operation at a time.  The routines without a context argument act
// on LZDefaultContext(), the process's context.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>

#include "zorellz/codec/ZrlCodec.h"
#include "zorellz/engine/ZrlTypes.h"
#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

// A callback of the engine: a plain function (which it can be compared
// with, as the routines that install and return hooks do) or any callable.
template <typename Signature>
class TLZHook;

template <typename R, typename... Args>
class TLZHook<R(Args...)> {
 public:
  using Pointer = R (*)(Args...);

  TLZHook() = default;
  TLZHook(std::nullptr_t) {}                      // NOLINT: nullptr is the empty hook
  TLZHook(Pointer pointer) : pointer_(pointer) {  // NOLINT: plain functions convert
    if (pointer != nullptr) function_ = pointer;
  }
  template <typename F>
  requires(!std::is_convertible_v<F, Pointer> && !std::is_same_v<std::decay_t<F>, TLZHook> &&
           std::is_invocable_r_v<R, F&, Args...>) TLZHook(F function)
      : function_(std::move(function)) {}  // NOLINT

  R operator()(Args... args) const { return function_(std::forward<Args>(args)...); }
  explicit operator bool() const { return static_cast<bool>(function_); }
  // The plain function installed, nullptr for any other callable.
  Pointer pointer() const { return pointer_; }

  friend bool operator==(const TLZHook& hook, std::nullptr_t) { return !hook.function_; }
  friend bool operator==(const TLZHook& hook, Pointer pointer) {
    return pointer == nullptr ? !hook.function_ : hook.pointer_ == pointer;
  }

 private:
  Pointer pointer_ = nullptr;
  std::function<R(Args...)> function_;
};

using TLZReportHook = TLZHook<std::int32_t(TLZReportRec& record, std::int32_t code)>;
using TLZQuestionHook =
    TLZHook<std::uint8_t(const TLZReportRec& current, const TLZReportRec& existing)>;
using TLZRenameHook = TLZHook<bool(std::string& name)>;
using TLZFileMatchHook =
    TLZHook<bool(const std::string& mask, const std::string& target_path, std::int32_t entry)>;
using TLZCheckPassWordHook = TLZHook<std::int32_t(const TLZArchiveHeader& header, std::int32_t)>;
using TLZSetPassWordHook = TLZHook<std::int32_t(TLZArchiveHeader& header)>;
using TLZSpanPromptHook = TLZHook<std::int32_t(std::int32_t disk_num, std::int32_t total_parts,
                                               std::int32_t needed_space, const char* drive)>;

// Why an input stays out of an archive (or in it as an empty entry) while
// the operation goes on.
enum class TLZSkipReason {
  kEntryLimit,       // the archive already holds kLZMaxEntries entries
  kCannotOpen,       // kept as an empty entry: the file could not be opened
  kNameNotStorable,  // no Windows-1252 form, or refused by the entry name rule
  kTooLarge,         // 2 GiB or more, or the archive's totals would pass 2 GiB
  kNotRegular,       // a link to a folder, a dangling link, a FIFO, a device, a socket
};
using TLZSkippedInputHook = std::function<void(const std::string& path, TLZSkipReason reason)>;

// The files a stored-only extension list starts with.
inline constexpr char kLZDefaultStoreList[] =
    ".ZIP|.PKK|.ZPA|.GIF|.CAB|.GZ|.LZH|.LZA|.LZZ|.LZ|.PAK|.ZOO|.Z|.ARC|.ARJ|.AR7";

// The default disk prompt (ZorelLZ.h).
std::int32_t LZDefaultSpanPrompt(std::int32_t disk_num, std::int32_t total_parts,
                                 std::int32_t needed_space, const char* drive);

// Everything of a context that a snapshot saves and puts back.
struct TLZContextValues {
  // ---- Settings ----
  // File position at which LZReadArchiveHeader expects a header.
  std::int32_t HeaderOffset = 0;
  std::string DearchiveMask = "*.*";
  bool CheckCRC = false;
  std::string ExtensionsToStore = kLZDefaultStoreList;
  // Entries coded at once by creation, extraction and testing; 1 is serial.
  // From 2 on, a large input compressed alone (a single compressed file, or
  // an archive of one file) is coded on several threads: on Jobs at level
  // max, on two otherwise.
  std::int32_t Jobs = 1;
  // Creation returns kLZNoFileMatches, and writes nothing, when it collects
  // no file; otherwise it writes an archive without entries.
  bool RefuseEmptyArchive = false;
  // Whether extraction and creation make their files durable: flushed to the
  // device before they take their names, and the folders that took them
  // flushed once at the end of the pass.  Without it a crash soon after may
  // lose files that were reported written, as with the system's own copy
  // tools.
  bool Durable = true;
  // Whether an entry left compressed (extraction with ExtractUnExpanded)
  // asks the question function before it replaces an existing file, as an
  // expanded entry does.  Off, it replaces the file unasked.
  bool AskBeforeUnexpanded = false;

  // ---- Hooks ----
  TLZFileMatchHook FileMatch;  // empty: the default match
  TLZCheckPassWordHook CheckPassWord;
  TLZSetPassWordHook SetPassWord;
  TLZSpanPromptHook SpanPrompt = LZDefaultSpanPrompt;
  // Told about inputs that creation leaves out (or keeps empty) and goes on.
  TLZSkippedInputHook SkippedInput;

  // ---- State of the operation that runs ----
  // -1: the check-password hook has not been asked in this operation.
  std::int32_t ProtectionAnswer = -1;
  // Set by each operation from its report function before copying or
  // decoding a file; progress calls pass CurrentReport.
  TLZReportHook Progress;
  TLZReportRec CurrentReport;
  // The directory of the archive being extracted, for the default file match
  // (nullptr outside an extraction).
  const TZorelLZArchiveHeader* ExtractingDirectory = nullptr;
};

struct TLZContext : TLZContextValues {
  // A context with coders of its own.
  TLZContext() : Codecs(own_codecs_) {}
  // A context whose operations use `codecs`.
  explicit TLZContext(TLZCodecSet& codecs) : Codecs(codecs) {}
  TLZContext(const TLZContext&) = delete;
  TLZContext& operator=(const TLZContext&) = delete;

 private:
  TLZCodecSet own_codecs_;

 public:
  // The coders of this context's operations.
  TLZCodecSet& Codecs;
};

// The process's context, behind every routine without a context argument.
TLZContext& LZDefaultContext();

// Runs an operation with temporary settings: saves every value of `context`
// and puts them back when it goes out of scope, exceptions included.
class TLZContextSnapshot {
 public:
  explicit TLZContextSnapshot(TLZContext& context) : context_(context), saved_(context) {}
  ~TLZContextSnapshot() { static_cast<TLZContextValues&>(context_) = std::move(saved_); }
  TLZContextSnapshot(const TLZContextSnapshot&) = delete;
  TLZContextSnapshot& operator=(const TLZContextSnapshot&) = delete;

 private:
  TLZContext& context_;
  TLZContextValues saved_;
};

}  // namespace zorellz
ZORELLZ_API_END
