#include "zorellz/codec/ZrlErrors.h"

#include <string_view>

namespace zorellz {

namespace {

struct TMessage {
  int Id;
  std::string_view Text;
};

constexpr TMessage kMessages[] = {
    {kMsgNoValidListFileName, "No valid filename in list-file"},
    {kMsgInvalidArchive, "%s is an invalid LZ Archive"},
    {kMsgInitFailed, "LZ-Initialisation failed"},
    {kMsgInvalidParameters, "Invalid parameters to LZ function"},
    {kMsgSameInputOutput, "File %s specified for both Input and Output"},
    {kMsgNoTempFileName, "Cannot create unique temporary file name"},
    {kMsgWrongCompressedFile, "Wrong compressed file: %s"},
    {kMsgArchiveCorrupt, "LZ Archive %s is corrupt"},
    {kMsgCannotRecreateFolders, "Cannot re-create directory structure %s"},
};

// Fills the one placeholder by plain substitution: the argument is a file
// name and must come out exactly as given, whatever characters it holds.
std::string FillPlaceholder(std::string text, const std::string& argument) {
  std::size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, argument);
  return text;
}

[[noreturn]] void Raise(TLZErrorClass error_class, const std::string& message, int message_id) {
  switch (error_class) {
    case TLZErrorClass::kCompress:
      throw EZorelLZCompress(message, message_id);
    case TLZErrorClass::kArchive:
      throw EZorelLZArchive(message, message_id);
    case TLZErrorClass::kError:
      break;
  }
  throw EZorelLZError(message, message_id);
}

}  // namespace

std::string LZMessageText(int message_id) {
  for (const TMessage& message : kMessages) {
    if (message.Id == message_id) return std::string(message.Text);
  }
  return {};
}

void RaiseLZError(TLZErrorClass error_class, int message_id) {
  Raise(error_class, LZMessageText(message_id), message_id);
}

void RaiseLZErrorFmt(TLZErrorClass error_class, int message_id, const std::string& argument) {
  Raise(error_class, FillPlaceholder(LZMessageText(message_id), argument), message_id);
}

EInOutError CreateInOutError(int message_id, int error_code) {
  return EInOutError(LZMessageText(message_id), error_code);
}

void RaiseInOutError(int message_id, int error_code) {
  throw CreateInOutError(message_id, error_code);
}

}  // namespace zorellz
