#include "face_qt/settings_ini.h"

#include "platform/error_report.h"

namespace {

constexpr char kApplicationName[] = "Velmora";
constexpr char kSection[] = "Mailvane";

}  // namespace

IniSettingsStore::IniSettingsStore(std::unique_ptr<QSettings> settings) : settings_(std::move(settings)) {}

std::unique_ptr<QSettings> IniSettingsStore::OpenUserSettings() {
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                     QString::fromLatin1(kApplicationName));
}

std::unique_ptr<QSettings> IniSettingsStore::OpenIniFile(const QString& path) {
  return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

std::string IniSettingsStore::GetSetting(const std::string& key, const std::string& default_value) {
  // Reading never fails: a file that cannot be read or parsed yields what Qt
  // could read of it, and absent keys their defaults.
  settings_->beginGroup(QString::fromLatin1(kSection));
  const QString name = QString::fromStdString(key);
  // contains() tells an absent key from a stored empty text, which stays empty.
  const bool present = settings_->contains(name);
  const QVariant value = present ? settings_->value(name) : QVariant();
  settings_->endGroup();
  if (!present) return default_value;
  // A value edited by hand into a list ("a, b" in the INI file) reads back as
  // a QStringList; the stored text is the list joined again.
  if (value.typeId() == QMetaType::QStringList) {
    return value.toStringList().join(QStringLiteral(", ")).toStdString();
  }
  return value.toString().toStdString();
}

void IniSettingsStore::SaveSetting(const std::string& key, const std::string& value) {
  // QSettings keeps the first error it met for good (also one from reading),
  // so a fresh object over the same place lets this write report on its own.
  if (settings_->status() != QSettings::NoError) Reopen();
  settings_->beginGroup(QString::fromLatin1(kSection));
  settings_->setValue(QString::fromStdString(key), QString::fromStdString(value));
  settings_->endGroup();
  settings_->sync();
  const QSettings::Status status = settings_->status();
  if (status == QSettings::NoError) return;
  throw platform::Failure(status == QSettings::AccessError ? "Permission denied" : "Settings file is damaged");
}

void IniSettingsStore::Reopen() {
  settings_ = std::make_unique<QSettings>(settings_->fileName(), settings_->format());
}
