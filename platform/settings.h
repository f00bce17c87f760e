// The per-user store of the few remembered choices: named text values under the
// application name "Velmora" and the section "Mailvane".
//
// Each system has its home for them: an INI file (Velmora.ini in the user's
// config folder, section [Mailvane]) kept by the Qt face, and on Windows the
// current user's registry area for program settings, one string value per key
// (platform/settings_registry.h).
#pragma once

#include <string>

namespace platform {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  // The stored text of `key`, or `default_value` when the key does not exist.
  // A stored empty text is returned as it is, not replaced by the default.
  // Never fails: a store that cannot be read yields the defaults.
  virtual std::string GetSetting(const std::string& key, const std::string& default_value) = 0;
  // Creates or overwrites `key`; the write is done when the call returns.
  // Throws platform::Failure when the write fails; a later write is tried afresh.
  virtual void SaveSetting(const std::string& key, const std::string& value) = 0;
};

// GetSetting read as a boolean (ToBoolean); throws platform::Failure when the
// stored text is not one.
bool GetBoolSetting(SettingsStore& store, const std::string& key, bool default_value);

// "True"/"False" in any letter case, or a number (0 is false, any other number
// true); surrounding blanks are allowed. Anything else throws
// platform::Failure("Type mismatch").
bool ToBoolean(const std::string& text);
// The stored words for a boolean: "True" / "False".
std::string FromBoolean(bool value);

}  // namespace platform
