#include "platform/MachineSettings.h"

#include <utility>

#include "platform/win32/WinText.h"

namespace zorellz {

using win32::Utf8ToWide;
using win32::WideToUtf8;

namespace {

HKEY KeyOf(void* handle) {
  return static_cast<HKEY>(handle);
}

bool IsStringType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ;
}

[[noreturn]] void RaiseNotString(const std::string& name, const std::string& location) {
  throw EMachineSettingType("The value \"" + name + "\" of " + location + " is not a string");
}

}  // namespace

std::unique_ptr<TMachineKey> TMachineKey::OpenReadOnly(const std::string& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Utf8ToWide(key).c_str(), 0, KEY_READ, &handle) !=
      ERROR_SUCCESS) {
    return nullptr;
  }
  return std::unique_ptr<TMachineKey>(new TMachineKey(handle, "HKEY_LOCAL_MACHINE\\" + key));
}

TMachineKey::~TMachineKey() {
  RegCloseKey(KeyOf(handle_));
}

std::string TMachineKey::ReadString(const std::string& name) const {
  const std::wstring value_name = Utf8ToWide(name);
  // The type first, so that a value of another type is told apart from a
  // missing one.
  DWORD type = REG_NONE;
  DWORD size = 0;
  LSTATUS status =
      RegQueryValueExW(KeyOf(handle_), value_name.c_str(), nullptr, &type, nullptr, &size);
  if (status != ERROR_SUCCESS) return {};
  if (!IsStringType(type)) RaiseNotString(name, location_);
  // The value may change between the calls; RegGetValueW says so by asking
  // for more room.
  std::wstring text;
  do {
    text.assign(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    status = RegGetValueW(KeyOf(handle_), nullptr, value_name.c_str(),
                          RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &type, text.data(),
                          &size);
  } while (status == ERROR_MORE_DATA);
  if (status == ERROR_UNSUPPORTED_TYPE) RaiseNotString(name, location_);
  if (status != ERROR_SUCCESS) return {};
  text.resize(text.find(L'\0') == std::wstring::npos ? text.size() : text.find(L'\0'));
  return WideToUtf8(text);
}

}  // namespace zorellz
