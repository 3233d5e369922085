// TOrvLiteEnvironmentObject: where the installed host keeps its database files
// and its help pages.  Reads the values "DataDirectory" and "HelpDirectory" of
// the machine key "Software\Orv\Tessaline" (MachineSettings.h) and gives each
// back as a folder ending in the platform's folder separator.  A value once
// found is kept for the life of the object; a value not found (empty) is
// looked up again on every call.  A value of the wrong type raises
// ERegistryException, and nothing is kept.
#pragma once

#include <optional>
#include <string>

#include "app/MachineSettings.h"

namespace tessaline {

inline constexpr char kTessalineKey[] = "Software\\Orv\\Tessaline";

// Folders given on the command line (--data-dir, --help-dir) that take the
// place of the stored values for every object made afterwards with the
// machine's settings; an empty optional keeps the stored value.
struct TFolderOverrides {
  std::optional<std::string> DataDirectory;
  std::optional<std::string> HelpDirectory;
};
void SetFolderOverrides(TFolderOverrides overrides);

class TOrvLiteEnvironmentObject {
 public:
  // Does not read the settings yet.
  TOrvLiteEnvironmentObject();
  // Reads through `open_key` instead of the machine's settings (for tests).
  explicit TOrvLiteEnvironmentObject(TRegistryKeyOpener open_key);

  // The folder, ending in the separator, or "" when it cannot be found.
  std::string GetDataDirectory();
  std::string GetHelpDirectory();

  // `path` unchanged when empty or already ending in the separator, else
  // with the separator appended.
  static std::string AppendBackslash(const std::string& path);

 private:
  std::string Lookup(const char* value_name, std::string& cached);

  TRegistryKeyOpener open_key_;
  TFolderOverrides overrides_;
  std::string FDataDirectory;
  std::string FHelpDirectory;
};

}  // namespace tessaline
