// The registry reader against a key of its own below HKEY_LOCAL_MACHINE,
// made and removed by the test.
#include <windows.h>

#include <string>

#include "gtest/gtest.h"
#include "platform/MachineSettings.h"

namespace zorellz {
namespace {

class MachineKey : public ::testing::Test {
 protected:
  static constexpr wchar_t kKey[] = L"Software\\ZorellzTest\\Settings";

  void SetUp() override {
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key_, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    RegCloseKey(key_);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\ZorellzTest");
  }

  void Put(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
  }
  void PutText(const wchar_t* name, DWORD type, const std::wstring& text) {
    // The stored text keeps its terminating NUL, as installers write it.
    Put(name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }

  HKEY key_ = nullptr;
};

TEST_F(MachineKey, ReadsStringsAsTheyAreStored) {
  PutText(L"DataDirectory", REG_SZ, L"D:\\Host\\Data");
  PutText(L"Expandable", REG_EXPAND_SZ, L"%SystemRoot%\\Data");
  PutText(L"Latin", REG_SZ, L"C:\\Donn\u00e9es");
  PutText(L"Empty", REG_SZ, L"");
  Put(L"CutAtNul", REG_SZ, L"C:\\A\0C:\\B", 10 * sizeof(wchar_t));
  Put(L"Unterminated", REG_SZ, L"C:\\Raw", 6 * sizeof(wchar_t));

  const auto key = TMachineKey::OpenReadOnly("Software\\ZorellzTest\\Settings");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->Location(), "HKEY_LOCAL_MACHINE\\Software\\ZorellzTest\\Settings");
  EXPECT_EQ(key->ReadString("DataDirectory"), "D:\\Host\\Data");
  EXPECT_EQ(key->ReadString("Expandable"), "%SystemRoot%\\Data") << "never expanded";
  EXPECT_EQ(key->ReadString("Latin"),
            "C:\\Donn\xc3\xa9"
            "es");
  EXPECT_EQ(key->ReadString("Empty"), "");
  EXPECT_EQ(key->ReadString("CutAtNul"), "C:\\A");
  EXPECT_EQ(key->ReadString("Unterminated"), "C:\\Raw");
  EXPECT_EQ(key->ReadString("Missing"), "");
}

TEST_F(MachineKey, ValuesOfAnotherTypeRaiseNamingTheValue) {
  const DWORD number = 7;
  Put(L"Number", REG_DWORD, &number, sizeof number);
  Put(L"List", REG_MULTI_SZ, L"a\0b\0", 5 * sizeof(wchar_t));
  Put(L"Binary", REG_BINARY, "\x01\x02", 2);

  const auto key = TMachineKey::OpenReadOnly("Software\\ZorellzTest\\Settings");
  ASSERT_NE(key, nullptr);
  for (const char* name : {"Number", "List", "Binary"}) {
    try {
      key->ReadString(name);
      ADD_FAILURE() << name << " must raise";
    } catch (const EMachineSettingType& error) {
      EXPECT_NE(std::string(error.what()).find(name), std::string::npos) << error.what();
      EXPECT_NE(std::string(error.what()).find("ZorellzTest"), std::string::npos) << error.what();
    }
  }
}

TEST_F(MachineKey, MissingKeysOpenToNothingAndAreNeverCreated) {
  EXPECT_EQ(TMachineKey::OpenReadOnly("Software\\ZorellzTest\\Absent"), nullptr);
  HKEY probe = nullptr;
  EXPECT_EQ(
      RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\ZorellzTest\\Absent", 0, KEY_READ, &probe),
      ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace zorellz
