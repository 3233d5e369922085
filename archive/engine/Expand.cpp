// Expanding a single compressed file under the name stored in it.
#include <cstdint>
#include <string>

#include "archive/engine/NameRule.h"
#include "platform/Names.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/File.h"

namespace zorellz {
namespace {

// The stored source name comes from the file, not from the user: only its
// last component counts (whichever separator it uses, a drive's colon too),
// and only when the entry name rule takes it.
bool LastSafeComponent(const std::string& stored, std::string& name) {
  const std::size_t separator = stored.find_last_of("\\/:");
  name = separator == std::string::npos ? stored : stored.substr(separator + 1);
  return LZIsReadableEntryName(name);
}

// The native file name that `source` expands to: the name stored in a single
// compressed file, or the file's own name for any other file.
bool ExpandedName(const std::string& source, std::string& name) {
  std::string stored;
  if (!LZGetSourceName(source, stored)) {
    name = ExtractFileName(source);
    return !name.empty();
  }
  if (!LastSafeComponent(stored, name)) return false;
  name = Cp1252ToUtf8(name);
  return true;
}

// The folder part of `path` with its separator; the current folder's when
// there is none.
std::string FolderOf(const std::string& path) {
  const std::string folder = ExtractFilePath(path);
  return folder.empty() ? IncludeTrailingSeparator(CurrentDirectory().string()) : folder;
}

// For a source that does not exist, its compressed form must exist and hold
// it: 0 with `source` replaced, or kLZNoFile, kLZNotRequestedFile.
std::int32_t FindCompressedForm(std::string& source, std::string& name) {
  const std::string requested = ExtractFileName(source);
  const std::string compressed = LZCompressedName(source);
  if (!FileExists(compressed)) return kLZNoFile;
  if (!ExpandedName(compressed, name)) return kLZNoFile;
  if (!SameTextAscii(name, requested)) return kLZNotRequestedFile;
  source = compressed;
  return 0;
}

}  // namespace

std::string LZCompressedName(const std::string& file_name) {
  return LZCompressedAutoName(file_name);
}

std::int64_t LZExpandFile(const std::string& source, TLZQuestionProc question,
                          TLZReportProc report) {
  return LZExpandFile(LZDefaultContext(), source, question, report);
}

std::int64_t LZExpandFile(TLZContext& context, const std::string& source, TLZQuestionHook question,
                          TLZReportHook report) {
  if (source.empty()) return kLZNoFile;
  std::string found = source;
  std::string name;
  if (!FileExists(found)) {
    if (std::int32_t result = FindCompressedForm(found, name); result != 0) return result;
  } else if (!ExpandedName(found, name)) {
    return kLZNoFile;
  }
  const std::string folder = FolderOf(found);
  if (ExtractFilePath(found).empty()) found = folder + found;
  const std::string target = folder + name;
  if (SameTextAscii(ExpandFileName(found), ExpandFileName(target)) || IsSameFile(found, target)) {
    return kLZSameInputOutput;
  }
  return LZDecompressFile(context, found, target, std::move(question), std::move(report));
}

}  // namespace zorellz
