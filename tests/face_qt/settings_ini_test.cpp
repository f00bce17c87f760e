// The INI settings store of the Qt face: defaults, empty values, the file and
// keys Linux users already have, and texts that the INI syntax would otherwise bend.
#include <QTemporaryDir>
#include <QtTest>

#include "face_qt/settings_ini.h"
#include "platform/error_report.h"

class SettingsStoreTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir temp_;
  QString Ini() const { return temp_.filePath(QStringLiteral("s.ini")); }

 private slots:
  void init() { QFile::remove(Ini()); }

  void absent_key_yields_default() {
    IniSettingsStore store(IniSettingsStore::OpenIniFile(Ini()));
    QCOMPARE(store.GetSetting("Extension", "msg"), std::string("msg"));
    QCOMPARE(store.GetSetting("LastFolder", ""), std::string());
  }

  void stored_empty_text_is_not_replaced() {
    IniSettingsStore store(IniSettingsStore::OpenIniFile(Ini()));
    store.SaveSetting("Text1", "");
    QCOMPARE(store.GetSetting("Text1", "/home/ann/Desktop/"), std::string());
  }

  // Each value goes out and comes back unchanged through a second reader, the
  // way the next start reads it.
  void round_trip_data() {
    QTest::addColumn<QString>("value");
    QTest::newRow("folder") << "/home/ann/Out/";
    QTest::newRow("windows path") << "D:\\Mail\\Out\\";
    QTest::newRow("comma would make a list") << "/home/ann/a, b/";
    QTest::newRow("semicolon and equals") << "x;y=z";
    QTest::newRow("leading and trailing blanks") << "  spaced  ";
    QTest::newRow("quotes") << "\"quoted\"";
    QTest::newRow("at sign first") << "@Variant(x)";
    QTest::newRow("non-latin") << QString::fromUtf8("/home/\xc3\xa5sa/\xe6\x96\x87");
    QTest::newRow("True word") << "True";
  }
  void round_trip() {
    QFETCH(QString, value);
    {
      IniSettingsStore store(IniSettingsStore::OpenIniFile(Ini()));
      store.SaveSetting("Text1", value.toStdString());
    }
    IniSettingsStore again(IniSettingsStore::OpenIniFile(Ini()));
    QCOMPARE(QString::fromStdString(again.GetSetting("Text1", "default")), value);
  }

  void bool_setting_defaults_and_failures() {
    IniSettingsStore store(IniSettingsStore::OpenIniFile(Ini()));
    QCOMPARE(platform::GetBoolSetting(store, "Option1", true), true);
    QCOMPARE(platform::GetBoolSetting(store, "Option2", false), false);
    store.SaveSetting("Option2", "maybe");
    QVERIFY_THROWS_EXCEPTION(platform::Failure, platform::GetBoolSetting(store, "Option2", false));
  }

  // The file an earlier version wrote reads the same: section [Mailvane],
  // booleans as words, a folder with its separator.
  void reads_the_file_linux_users_have() {
    QFile file(Ini());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Mailvane]\nOption1=false\nOption2=true\nText1=/home/ann/Out/\nExtension=eml\n");
    file.close();
    IniSettingsStore store(IniSettingsStore::OpenIniFile(Ini()));
    QCOMPARE(platform::GetBoolSetting(store, "Option1", true), false);
    QCOMPARE(platform::GetBoolSetting(store, "Option2", false), true);
    QCOMPARE(store.GetSetting("Text1", ""), std::string("/home/ann/Out/"));
    QCOMPARE(store.GetSetting("Extension", "msg"), std::string("eml"));
    store.SaveSetting("LastFolder", "/srv");
    QCOMPARE(QSettings(Ini(), QSettings::IniFormat).value("Mailvane/LastFolder").toString(), QStringLiteral("/srv"));
  }

  void unwritable_store_fails() {
    // A folder where the INI file should be cannot be written.
    const QString blocked = temp_.filePath(QStringLiteral("blocked.ini"));
    QVERIFY(QDir().mkpath(blocked));
    IniSettingsStore store(IniSettingsStore::OpenIniFile(blocked));
    QVERIFY_THROWS_EXCEPTION(platform::Failure, store.SaveSetting("Text1", "x"));
    // Once the place is writable again, the next write succeeds.
    QVERIFY(QDir().rmdir(blocked));
    store.SaveSetting("Text1", "y");
    QCOMPARE(store.GetSetting("Text1", "default"), std::string("y"));
    QCOMPARE(QSettings(blocked, QSettings::IniFormat).value("Mailvane/Text1").toString(),
             QStringLiteral("y"));
  }
};

QTEST_GUILESS_MAIN(SettingsStoreTest)
#include "settings_ini_test.moc"
