// The per-user store of the few remembered choices: named text values under the
// application name "Velmora" and the section "Mailvane".
//
// On Windows the values live in the current user's registry, key
// Software/Velmora/Mailvane; elsewhere in a per-user INI file (Velmora.ini in
// the user's config folder, section [Mailvane]). Every write is flushed before
// SaveSetting returns.
#pragma once

#include <QSettings>
#include <QString>
#include <memory>

class SettingsStore {
 public:
  // Takes over the given settings object; its values are read in the section.
  explicit SettingsStore(std::unique_ptr<QSettings> settings);

  // The user's own store (registry on Windows, INI file elsewhere).
  static std::unique_ptr<QSettings> OpenUserSettings();
  // An INI file at `path` (tests, portable use).
  static std::unique_ptr<QSettings> OpenIniFile(const QString& path);

  // The stored text of `key`, or `default_value` when the key does not exist.
  // A stored empty text is returned as it is, not replaced by the default.
  // Never fails: a store that cannot be read yields the defaults.
  QString GetSetting(const QString& key, const QString& default_value);
  // Creates or overwrites `key`. Throws platform::Failure when the write fails;
  // a later write is tried afresh.
  void SaveSetting(const QString& key, const QString& value);

  // GetSetting read as a boolean (ToBoolean); throws platform::Failure when the
  // stored text is not one.
  bool GetBoolSetting(const QString& key, bool default_value);

  // "True"/"False" in any letter case, or a number (0 is false, any other
  // number true); surrounding blanks are allowed. Anything else throws
  // platform::Failure("Type mismatch").
  static bool ToBoolean(const QString& text);
  // The stored words for a boolean: "True" / "False".
  static QString FromBoolean(bool value);

 private:
  // A new QSettings over the same file or registry key.
  void Reopen();

  std::unique_ptr<QSettings> settings_;
};
