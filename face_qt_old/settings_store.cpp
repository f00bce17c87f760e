#include "app/settings_store.h"

#include <cmath>

#include "platform/error_report.h"

namespace {

constexpr char kApplicationName[] = "Velmora";
constexpr char kSection[] = "Mailvane";

}  // namespace

SettingsStore::SettingsStore(std::unique_ptr<QSettings> settings) : settings_(std::move(settings)) {}

std::unique_ptr<QSettings> SettingsStore::OpenUserSettings() {
#ifdef Q_OS_WIN
  // HKCU\Software\Velmora, with the section as the key below it.
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                     QString::fromLatin1(kApplicationName));
#else
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                     QString::fromLatin1(kApplicationName));
#endif
}

std::unique_ptr<QSettings> SettingsStore::OpenIniFile(const QString& path) {
  return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

QString SettingsStore::GetSetting(const QString& key, const QString& default_value) {
  // Reading never fails: a file that cannot be read or parsed yields what Qt
  // could read of it, and absent keys their defaults.
  settings_->beginGroup(QString::fromLatin1(kSection));
  // contains() tells an absent key from a stored empty text, which stays empty.
  const bool present = settings_->contains(key);
  const QVariant value = present ? settings_->value(key) : QVariant();
  settings_->endGroup();
  if (!present) return default_value;
  // A value edited by hand into a list ("a, b" in the INI file) reads back as
  // a QStringList; the stored text is the list joined again.
  if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(QStringLiteral(", "));
  return value.toString();
}

void SettingsStore::SaveSetting(const QString& key, const QString& value) {
  // QSettings keeps the first error it met for good (also one from reading),
  // so a fresh object over the same place lets this write report on its own.
  if (settings_->status() != QSettings::NoError) Reopen();
  settings_->beginGroup(QString::fromLatin1(kSection));
  settings_->setValue(key, value);
  settings_->endGroup();
  settings_->sync();
  const QSettings::Status status = settings_->status();
  if (status == QSettings::NoError) return;
  throw platform::Failure(status == QSettings::AccessError ? "Permission denied"
                                                        : "Settings file is damaged");
}

void SettingsStore::Reopen() {
  settings_ = std::make_unique<QSettings>(settings_->fileName(), settings_->format());
}

bool SettingsStore::GetBoolSetting(const QString& key, bool default_value) {
  return ToBoolean(GetSetting(key, default_value ? QStringLiteral("1") : QStringLiteral("0")));
}

bool SettingsStore::ToBoolean(const QString& text) {
  const QString word = text.trimmed();
  if (word.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return true;
  if (word.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return false;
  bool ok = false;
  const double number = word.toDouble(&ok);  // C locale: "1", "-1", "0.5", "1e3"
  if (!ok || !std::isfinite(number)) throw platform::Failure("Type mismatch");
  return number != 0;
}

QString SettingsStore::FromBoolean(bool value) {
  return value ? QStringLiteral("True") : QStringLiteral("False");
}
