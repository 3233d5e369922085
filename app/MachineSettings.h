// Read-only access to a machine-wide settings key, the place where the host's
// installation records its folders.  On Windows this is the registry below
// HKEY_LOCAL_MACHINE.  Elsewhere it is the system-scope settings file of the
// organisation and application the key names: "Software\Orv\Tessaline" is
// <folder>/Orv/Tessaline.conf in the first absolute folder of XDG_CONFIG_DIRS
// (default /etc/xdg) that has one, an INI file whose values live in its
// [General] section.  Nothing is ever created or written.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace tessaline {

// A value of the wrong type; the message names the value and where it lives.
class ERegistryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TRegistryKey {
 public:
  virtual ~TRegistryKey() = default;
  // The string value `name`: empty when it is missing; the text up to its
  // first NUL character; environment references are not expanded.  A value
  // of another type (a list, a number, binary data), or one that the settings
  // file would cut short at an unquoted comment character, raises
  // ERegistryException.
  virtual std::string ReadString(const std::string& name) = 0;
};

// Opens `key` (backslash-separated, below the machine root) for reading;
// nullptr when it does not exist or cannot be read.  The key shows the values
// as they were when it was opened.
std::unique_ptr<TRegistryKey> OpenMachineKeyReadOnly(const std::string& key);
using TRegistryKeyOpener = std::function<std::unique_ptr<TRegistryKey>(const std::string& key)>;

// Where `key` lives, for messages: the settings file (or the registry path).
std::string MachineKeyLocation(const std::string& key);

}  // namespace tessaline
