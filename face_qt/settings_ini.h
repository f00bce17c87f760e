// The settings store of the Qt face: a per-user INI file (Velmora.ini in the
// user's config folder, section [Mailvane]), the file and keys Mailvane has
// always used on Linux. Every write is flushed before SaveSetting returns.
#pragma once

#include <QSettings>
#include <QString>
#include <memory>

#include "platform/settings.h"

class IniSettingsStore : public platform::SettingsStore {
 public:
  // Takes over the given settings object; its values are read in the section.
  explicit IniSettingsStore(std::unique_ptr<QSettings> settings);

  // The user's own file.
  static std::unique_ptr<QSettings> OpenUserSettings();
  // An INI file at `path` (tests, portable use).
  static std::unique_ptr<QSettings> OpenIniFile(const QString& path);

  std::string GetSetting(const std::string& key, const std::string& default_value) override;
  void SaveSetting(const std::string& key, const std::string& value) override;

 private:
  // A new QSettings over the same file.
  void Reopen();

  std::unique_ptr<QSettings> settings_;
};
