// The settings store in the Windows registry: the current user's area for
// program settings, one string value (REG_SZ) per key, under the key
//   HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>
#pragma once

#include <string>

#include "platform/settings.h"

namespace platform {

// The key below HKEY_CURRENT_USER for an application and section.
std::string RegistrySettingsKey(const std::string& application, const std::string& section);

class RegistrySettingsStore : public SettingsStore {
 public:
  // Velmora / Mailvane unless told otherwise (tests use a section of their own).
  explicit RegistrySettingsStore(std::string application = "Velmora",
                                 std::string section = "Mailvane");

  // A stored value that is not a string (a number written by another program)
  // reads as its text; a value too long or unreadable counts as absent.
  std::string GetSetting(const std::string& key, const std::string& default_value) override;
  // Creates the application and section keys when missing.
  void SaveSetting(const std::string& key, const std::string& value) override;

 private:
  std::string key_;
};

}  // namespace platform
