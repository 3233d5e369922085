// Conversions of names between Windows-1252 and UTF-8 must never fail on
// archive bytes, must refuse rather than alter what they cannot hold, and
// must give back exactly what they were given.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Names.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Archive bytes: every byte converts, and converts back unchanged.
void CheckArchiveText(std::string_view bytes) {
  const std::string utf8 = zorellz::Cp1252ToUtf8(bytes);
  Check(zorellz::Utf8ToCp1252(utf8) == std::string(bytes));
  if (bytes.find('/') == std::string_view::npos) {
    Check(zorellz::NativeToArchivePath(zorellz::ArchivePathToNative(bytes)) == std::string(bytes));
  }
  Check(zorellz::SameTextAscii(bytes, zorellz::UpperCaseAscii(bytes)));
}

// Native bytes: whatever is accepted is valid UTF-8 and converts back to
// exactly the same bytes.
void CheckNativeText(std::string_view bytes) {
  const std::optional<std::string> cp1252 = zorellz::Utf8ToCp1252(bytes);
  if (cp1252) Check(zorellz::Cp1252ToUtf8(*cp1252) == bytes);
}

void CheckPathText(const std::string& path) {
  Check(zorellz::ExtractFilePath(path) + zorellz::ExtractFileName(path) == path);
  const std::string extension = zorellz::ExtractFileExt(path);
  Check(zorellz::ChangeFileExt(path, extension) == path);
  zorellz::ExpandFileName(path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  CheckArchiveText(bytes);
  CheckNativeText(bytes);
  CheckPathText(bytes);
  return 0;
}
