#include "app/OrvLiteEnvironment.h"

#include <memory>
#include <utility>

#include "platform/Names.h"

namespace tessaline {

namespace {

TFolderOverrides& Overrides() {
  static TFolderOverrides overrides;
  return overrides;
}

}  // namespace

void SetFolderOverrides(TFolderOverrides overrides) {
  Overrides() = std::move(overrides);
}

TOrvLiteEnvironmentObject::TOrvLiteEnvironmentObject()
    : TOrvLiteEnvironmentObject(OpenMachineKeyReadOnly) {
  overrides_ = Overrides();
}

TOrvLiteEnvironmentObject::TOrvLiteEnvironmentObject(TRegistryKeyOpener open_key)
    : open_key_(open_key ? std::move(open_key) : TRegistryKeyOpener(OpenMachineKeyReadOnly)) {}

std::string TOrvLiteEnvironmentObject::GetDataDirectory() {
  if (overrides_.DataDirectory) return AppendBackslash(*overrides_.DataDirectory);
  return Lookup("DataDirectory", FDataDirectory);
}

std::string TOrvLiteEnvironmentObject::GetHelpDirectory() {
  if (overrides_.HelpDirectory) return AppendBackslash(*overrides_.HelpDirectory);
  return Lookup("HelpDirectory", FHelpDirectory);
}

std::string TOrvLiteEnvironmentObject::AppendBackslash(const std::string& path) {
  if (path.empty() || path.back() == zorellz::kNativeSeparator) return path;
  return path + zorellz::kNativeSeparator;
}

// A value once found stays; an empty one is asked for again next time, since
// the host may have been installed meanwhile.  When ReadString raises, the
// cache is left empty and the key is closed on the way out.
std::string TOrvLiteEnvironmentObject::Lookup(const char* value_name, std::string& cached) {
  if (!cached.empty()) return cached;
  const std::unique_ptr<TRegistryKey> key = open_key_(kTessalineKey);
  if (key) cached = AppendBackslash(key->ReadString(value_name));
  return cached;
}

}  // namespace tessaline
