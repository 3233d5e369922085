// Read-only access to the machine-wide settings of Windows: string values of
// a key below HKEY_LOCAL_MACHINE in the registry, where an installation
// records its folders.  Nothing is ever created or written.  Windows only;
// other systems keep such settings in files of their own.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

// A value that is not a string; the message names the value and its key.
class EMachineSettingType : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TMachineKey {
 public:
  // Opens `key` (backslash-separated, below HKEY_LOCAL_MACHINE, as the
  // process sees it) for reading; nullptr when it does not exist or cannot
  // be read.
  static std::unique_ptr<TMachineKey> OpenReadOnly(const std::string& key);
  ~TMachineKey();
  TMachineKey(const TMachineKey&) = delete;
  TMachineKey& operator=(const TMachineKey&) = delete;

  // The string value `name` as UTF-8, up to its first NUL character; an
  // expandable string is given unexpanded.  Empty when the value is
  // missing or cannot be read; a value of another type (a number, a list,
  // binary data) raises EMachineSettingType.
  std::string ReadString(const std::string& name) const;
  // "HKEY_LOCAL_MACHINE\<key>", for messages.
  const std::string& Location() const { return location_; }

 private:
  TMachineKey(void* handle, std::string location)
      : handle_(handle), location_(std::move(location)) {}

  void* handle_;  // an HKEY
  std::string location_;
};

}  // namespace zorellz
ZORELLZ_API_END
