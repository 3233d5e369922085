// The library's exceptions and its message table (ids 40000 to 40008).
#pragma once

#include <stdexcept>
#include <string>

#include "zorellz/platform/Export.h"
#include "zorellz/platform/InOutError.h"

ZORELLZ_API_BEGIN
namespace zorellz {

inline constexpr int kMsgNoValidListFileName = 40000;  // "No valid filename in list-file"
inline constexpr int kMsgInvalidArchive = 40001;       // "%s is an invalid LZ Archive"
inline constexpr int kMsgInitFailed = 40002;           // "LZ-Initialisation failed"
inline constexpr int kMsgInvalidParameters = 40003;    // "Invalid parameters to LZ function"
inline constexpr int kMsgSameInputOutput = 40004;      // "File %s specified for both Input and Output"
inline constexpr int kMsgNoTempFileName = 40005;  // "Cannot create unique temporary file name"
inline constexpr int kMsgWrongCompressedFile = 40006;  // "Wrong compressed file: %s"
inline constexpr int kMsgArchiveCorrupt = 40007;       // "LZ Archive %s is corrupt"
inline constexpr int kMsgCannotRecreateFolders = 40008;  // "Cannot re-create directory structure %s"

class EZorelLZError : public std::runtime_error {
 public:
  EZorelLZError(const std::string& message, int message_id)
      : std::runtime_error(message), MessageId(message_id) {}
  int MessageId;
};

class EZorelLZCompress : public EZorelLZError {
 public:
  using EZorelLZError::EZorelLZError;
};

class EZorelLZArchive : public EZorelLZError {
 public:
  using EZorelLZError::EZorelLZError;
};

// Which class RaiseLZError raises.
enum class TLZErrorClass { kError, kCompress, kArchive };

// The text of a message id; empty for an unknown id.
std::string LZMessageText(int message_id);

[[noreturn]] void RaiseLZError(TLZErrorClass error_class, int message_id);
// The message is used as a format whose one "%s" receives `argument`.
[[noreturn]] void RaiseLZErrorFmt(TLZErrorClass error_class, int message_id,
                                  const std::string& argument);
EInOutError CreateInOutError(int message_id, int error_code);
[[noreturn]] void RaiseInOutError(int message_id, int error_code);

}  // namespace zorellz
ZORELLZ_API_END
