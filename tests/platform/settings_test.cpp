// The settings store's booleans, and on Windows the registry store: a first
// start with nothing stored, numbers where words are expected, empty texts.
#include "platform/settings.h"

#include <gtest/gtest.h>

#include "platform/error_report.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/settings_registry.h"
#include "platform/windows_text.h"
#endif

namespace {

TEST(Settings, Booleans) {
  struct Case { std::string text; int expected; };  // 0 false, 1 true, -1 not a boolean
  const Case cases[] = {
      {"True", 1}, {"False", 0}, {"true", 1}, {"FALSE", 0}, {"1", 1}, {"0", 0}, {"-1", 1},
      {"0.5", 1}, {" 0 ", 0}, {"\t-1 ", 1}, {"1e3", 1}, {"", -1}, {"yes", -1}, {"nan", -1},
      {"inf", -1}, {"1a", -1}, {"0x1", -1}, {"Truex", -1},
  };
  for (const Case& c : cases) {
    if (c.expected < 0) {
      EXPECT_THROW(platform::ToBoolean(c.text), platform::Failure) << c.text;
    } else {
      EXPECT_EQ(platform::ToBoolean(c.text), c.expected == 1) << c.text;
    }
  }
  EXPECT_EQ(platform::FromBoolean(true), "True");
  EXPECT_EQ(platform::FromBoolean(false), "False");
}

#ifdef _WIN32
// Each test works in a section of its own below the real application key, and
// removes it again.
struct RegistrySection {
  std::string section = "Test" + std::to_string(GetCurrentProcessId());
  std::wstring key = platform::WideFromUtf8(platform::RegistrySettingsKey("Velmora", section));
  RegistrySection() { RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str()); }
  ~RegistrySection() { RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str()); }
  void StoreRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &handle, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(handle, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(handle);
  }
};

TEST(RegistryStore, KeyIsTheProgramSettingsArea) {
  EXPECT_EQ(platform::RegistrySettingsKey("Velmora", "Mailvane"),
            "Software\\VB and VBA Program Settings\\Velmora\\Mailvane");
}

TEST(RegistryStore, FirstStartReadsDefaults) {
  RegistrySection area;
  platform::RegistrySettingsStore store("Velmora", area.section);
  EXPECT_EQ(store.GetSetting("Text1", "C:\\Users\\ann\\Desktop\\"), "C:\\Users\\ann\\Desktop\\");
  EXPECT_TRUE(platform::GetBoolSetting(store, "Option1", true));
  EXPECT_FALSE(platform::GetBoolSetting(store, "Option2", false));
}

TEST(RegistryStore, ValuesRoundTripAsStrings) {
  RegistrySection area;
  const std::string values[] = {"D:\\Mail\\Out\\", "", "  spaced  ", "a, b;c=d",
                                "C:\\\xd0\x9f\xd0\xb0\xd0\xbf\xd0\xba\xd0\xb0\\\xe6\x96\x87\\", "True"};
  for (const std::string& value : values) {
    platform::RegistrySettingsStore("Velmora", area.section).SaveSetting("Text1", value);
    // A second store reads it, as the next start does; empty stays empty.
    EXPECT_EQ(platform::RegistrySettingsStore("Velmora", area.section).GetSetting("Text1", "default"),
              value);
  }
  HKEY handle = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, area.key.c_str(), 0, KEY_QUERY_VALUE, &handle), ERROR_SUCCESS);
  DWORD type = 0;
  EXPECT_EQ(RegQueryValueExW(handle, L"Text1", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(type, DWORD{REG_SZ});
  RegCloseKey(handle);
}

TEST(RegistryStore, NumbersInsteadOfWords) {
  RegistrySection area;
  platform::RegistrySettingsStore store("Velmora", area.section);
  // "1" and "0" stored as text, and a number stored as a DWORD by hand.
  store.SaveSetting("Option1", "0");
  store.SaveSetting("Option2", "-1");
  const DWORD one = 1;
  area.StoreRaw(L"Extension", REG_DWORD, &one, sizeof one);
  EXPECT_FALSE(platform::GetBoolSetting(store, "Option1", true));
  EXPECT_TRUE(platform::GetBoolSetting(store, "Option2", false));
  EXPECT_EQ(store.GetSetting("Extension", "msg"), "1");
  store.SaveSetting("Option1", "maybe");
  EXPECT_THROW(platform::GetBoolSetting(store, "Option1", true), platform::Failure);
}

TEST(RegistryStore, EmptyAndUnterminatedStoredTexts) {
  RegistrySection area;
  platform::RegistrySettingsStore store("Velmora", area.section);
  area.StoreRaw(L"Text1", REG_SZ, L"", 0);                      // no terminator at all
  area.StoreRaw(L"LastFolder", REG_SZ, L"C:\\a", 4 * sizeof(wchar_t));  // cut before its NUL
  EXPECT_EQ(store.GetSetting("Text1", "default"), "");
  EXPECT_EQ(store.GetSetting("LastFolder", ""), "C:\\a");
  // An empty text is no boolean: start-up reports it, as for any other word.
  EXPECT_THROW(platform::GetBoolSetting(store, "Text1", true), platform::Failure);
}
#endif

}  // namespace
