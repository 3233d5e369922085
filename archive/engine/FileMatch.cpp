// The default file-match function: which entries the dearchive mask selects.
#include <charconv>
#include <string>
#include <string_view>

#include "archive/codec/ZrlUtils.h"
#include "archive/engine/EngineState.h"
#include "archive/engine/ExtractPass.h"
#include "archive/engine/NameRule.h"
#include "platform/Names.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz {
namespace {

// "#:N" names entry N; anything that is not a whole decimal number names none.
bool SelectsNumber(std::string_view digits, std::int32_t entry) {
  std::int32_t number = 0;
  const char* end = digits.data() + digits.size();
  const auto [stop, error] = std::from_chars(digits.data(), end, number);
  return !digits.empty() && error == std::errc() && stop == end && number == entry;
}

bool SelectsEverything(std::string_view mask) {
  return mask.empty() || mask == "*" || mask == "*.*";
}

// The entry's path inside the archive being extracted, as the user would
// type it: UTF-8, backslashes or slashes alike.
bool IsEntryPath(const TLZContext& context, const std::string& upper_mask, std::int32_t entry) {
  const TZorelLZArchiveHeader* directory = context.ExtractingDirectory;
  std::string archive_path;
  if (directory == nullptr || !LZEntryPath(*directory, entry, archive_path)) return false;
  std::string wanted = upper_mask;
  for (char& c : wanted) {
    if (c == '/') c = '\\';
  }
  return wanted == UpperCaseAscii(Cp1252ToUtf8(archive_path));
}

}  // namespace

bool LZDefaultFileMatch(const std::string& mask, const std::string& target_path,
                        std::int32_t entry) {
  return LZDefaultFileMatchIn(LZDefaultContext(), mask, target_path, entry);
}

bool LZMatchFile(const TLZContext& context, const std::string& mask, const std::string& target_path,
                 std::int32_t entry) {
  if (context.FileMatch) return context.FileMatch(mask, target_path, entry);
  return LZDefaultFileMatchIn(context, mask, target_path, entry);
}

bool LZDefaultFileMatchIn(const TLZContext& context, const std::string& mask,
                          const std::string& target_path, std::int32_t entry) {
  if (mask.starts_with(kLZNumberMaskPrefix)) {
    return SelectsNumber(std::string_view(mask).substr(kLZNumberMaskPrefix.size()), entry);
  }
  if (SelectsEverything(mask)) return true;
  const std::string upper_mask = UpperCaseAscii(mask);
  const std::string upper_name = UpperCaseAscii(ExtractFileName(target_path));
  return upper_mask == UpperCaseAscii(target_path) || upper_mask == upper_name ||
         IsEntryPath(context, upper_mask, entry) || LZMatchNativeWildcard(upper_mask, upper_name);
}

}  // namespace zorellz
