#include "cli/CreateSupport.h"

#include <exception>
#include <filesystem>
#include <new>
#include <string>
#include <string_view>

#include "zorellz/codec/ZrlErrors.h"
#include "zorellz/engine/ResultText.h"
#include "zorellz/engine/ZrlTypes.h"
#include "zorellz/platform/InOutError.h"

namespace zorellz::cli {
namespace {

struct TLevel {
  const char* Name;
  TLZCompressionChoices Choice;
};

constexpr TLevel kLevels[] = {
    {"store", LZNoCompression},
    {"fast", LZFastCompression},
    {"max", LZMaxCompression},
};

constexpr std::string_view kListFilePrefix = "/F=";

[[noreturn]] void FailOnLibraryError(const EZorelLZError& error, const TEngineFiles& files) {
  switch (error.MessageId) {
    case kMsgNoValidListFileName:
      FailCommand(ListFileOf(files.Input), "no line names a file that can be archived");
    case kMsgInitFailed:
      FailCommand(files.Output, "the codec cannot be prepared (not enough memory)");
    case kMsgInvalidParameters:
      FailCommand(files.Output, "empty file name or file mask");
    case kMsgSameInputOutput:
      FailCommand(files.Input, "is the output file as well");
    default:
      FailCommand(files.Output, error.what());
  }
}

// The output is written under a hidden name beside it ("." + its name +
// a unique tail); a failure there concerns the output.
bool IsPendingOutput(const std::filesystem::path& path, const std::string& output) {
  const std::string pending_prefix = "." + std::filesystem::path(output).filename().string();
  return path.filename().string().starts_with(pending_prefix);
}

// Input/output errors read `<what> "<path>": <cause>`; the line names the
// path first, as every other failure line does.
[[noreturn]] void FailOnInOutError(const EInOutError& error, const TEngineFiles& files) {
  const std::string message = error.what();
  const std::size_t open = message.find(" \"");
  const std::size_t close = message.rfind("\": ");
  if (open == std::string::npos || close == std::string::npos || close <= open) {
    FailCommand(files.Output, message);
  }
  std::string path = message.substr(open + 2, close - open - 2);
  if (IsPendingOutput(path, files.Output)) path = files.Output;
  FailCommand(path, message.substr(0, open) + ": " + message.substr(close + 3));
}

}  // namespace

std::vector<std::string> LevelNames() {
  std::vector<std::string> names;
  for (const TLevel& level : kLevels) names.emplace_back(level.Name);
  return names;
}

TLZCompressionChoices LevelByName(const std::string& name) {
  for (const TLevel& level : kLevels) {
    if (name == level.Name) return level.Choice;
  }
  return LZMaxCompression;
}

std::string ListFileOf(const std::string& file_specs) {
  for (std::size_t at = 0; at + kListFilePrefix.size() <= file_specs.size(); ++at) {
    const std::string_view part(file_specs.data() + at, kListFilePrefix.size());
    if (part == kListFilePrefix || part == "/f=") {
      return file_specs.substr(at + kListFilePrefix.size());
    }
  }
  return {};
}

std::int32_t RunEngineOperation(const std::function<std::int32_t()>& operation,
                                const TEngineFiles& files) {
  try {
    return operation();
  } catch (const EZorelLZError& error) {
    FailOnLibraryError(error, files);
  } catch (const EInOutError& error) {
    FailOnInOutError(error, files);
  } catch (const std::bad_alloc&) {
    FailCommand(files.Output, "not enough memory");
  } catch (const std::filesystem::filesystem_error& error) {
    FailCommand(error.path1().empty() ? files.Output : error.path1().string(),
                error.code().message());
  } catch (const std::exception& error) {
    FailCommand(files.Output, error.what());
  }
}

}  // namespace zorellz::cli
