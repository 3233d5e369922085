// Any bytes as the updater's settings file (<XDG_CONFIG_DIRS>/Orv/
// Tessaline.conf), read through the settings reader alone: each folder it
// gives is empty or a text without NUL that ends in the separator, and a
// value it cannot use is refused by ERegistryException, never by a crash.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/MachineSettings.h"
#include "app/OrvLiteEnvironment.h"
#include "fuzz/FuzzScratch.h"
#include "platform/Names.h"

namespace {

using zorellz::fuzz::Check;

void CheckFolder(const std::string& folder) {
  Check(folder.find('\0') == std::string::npos);
  Check(folder.empty() || folder.back() == zorellz::kNativeSeparator);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static zorellz::fuzz::TFuzzScratch scratch("zorellz-settings-");
  static const bool configured = setenv("XDG_CONFIG_DIRS", scratch.Target().c_str(), 1) == 0;
  Check(configured);
  std::filesystem::create_directories(scratch.Target() / "Orv");
  {
    std::ofstream file(scratch.Target() / "Orv" / "Tessaline.conf",
                       std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    Check(static_cast<bool>(file));
  }
  tessaline::TOrvLiteEnvironmentObject environment;
  for (const bool data_folder : {true, false}) {
    try {
      CheckFolder(data_folder ? environment.GetDataDirectory() : environment.GetHelpDirectory());
    } catch (const tessaline::ERegistryException&) {
    }
  }
  return 0;
}
