#include <windows.h>

#include <vector>

#include "platform/error_report.h"
#include "platform/settings_registry.h"
#include "platform/windows_text.h"

namespace platform {

namespace {

// Settings are a few short texts; anything longer was not written by us.
constexpr DWORD kMaxValueBytes = 1 << 16;

}  // namespace

std::string RegistrySettingsKey(const std::string& application, const std::string& section) {
  return "Software\\VB and VBA Program Settings\\" + application + "\\" + section;
}

RegistrySettingsStore::RegistrySettingsStore(std::string application, std::string section)
    : key_(RegistrySettingsKey(application, section)) {}

std::string RegistrySettingsStore::GetSetting(const std::string& key,
                                              const std::string& default_value) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, WideFromUtf8(key_).c_str(), 0, KEY_QUERY_VALUE, &handle) !=
      ERROR_SUCCESS) {
    return default_value;
  }
  const std::wstring name = WideFromUtf8(key);
  DWORD type = 0;
  DWORD size = 0;
  std::string result = default_value;
  if (RegQueryValueExW(handle, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      size <= kMaxValueBytes) {
    std::vector<BYTE> data(size + sizeof(wchar_t));
    DWORD read = size;
    if (RegQueryValueExW(handle, name.c_str(), nullptr, &type, data.data(), &read) == ERROR_SUCCESS &&
        read <= size) {
      if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), read / sizeof(wchar_t));
        // The stored terminator (and anything a writer left after it) is not text.
        const size_t nul = text.find(L'\0');
        if (nul != std::wstring::npos) text.resize(nul);
        result = Utf8FromWide(text);
      } else if (type == REG_DWORD && read == sizeof(DWORD)) {
        DWORD number = 0;
        memcpy(&number, data.data(), sizeof number);
        result = std::to_string(static_cast<long>(static_cast<LONG>(number)));
      }
    }
  }
  RegCloseKey(handle);
  return result;
}

void RegistrySettingsStore::SaveSetting(const std::string& key, const std::string& value) {
  HKEY handle = nullptr;
  LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, WideFromUtf8(key_).c_str(), 0, nullptr,
                                   REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &handle, nullptr);
  if (status != ERROR_SUCCESS) FailWithWindowsError({}, static_cast<unsigned long>(status));
  const std::wstring text = WideFromUtf8(value);
  status = RegSetValueExW(handle, WideFromUtf8(key).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  if (status == ERROR_SUCCESS) status = RegFlushKey(handle);
  RegCloseKey(handle);
  if (status != ERROR_SUCCESS) FailWithWindowsError({}, static_cast<unsigned long>(status));
}

}  // namespace platform
