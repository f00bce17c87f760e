// The settings store over an INI file: defaults, empty values, booleans, and
// texts that the INI syntax would otherwise bend.
#include <QTemporaryDir>
#include <QtTest>

#include "app/settings_store.h"
#include "platform/error_report.h"

class SettingsStoreTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir temp_;
  QString Ini() const { return temp_.filePath(QStringLiteral("s.ini")); }

 private slots:
  void init() { QFile::remove(Ini()); }

  void absent_key_yields_default() {
    SettingsStore store(SettingsStore::OpenIniFile(Ini()));
    QCOMPARE(store.GetSetting("Extension", "msg"), QStringLiteral("msg"));
    QCOMPARE(store.GetSetting("LastFolder", QString()), QString());
  }

  void stored_empty_text_is_not_replaced() {
    SettingsStore store(SettingsStore::OpenIniFile(Ini()));
    store.SaveSetting("Text1", "");
    QCOMPARE(store.GetSetting("Text1", "/home/ann/Desktop/"), QString(""));
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
      SettingsStore store(SettingsStore::OpenIniFile(Ini()));
      store.SaveSetting("Text1", value);
    }
    SettingsStore again(SettingsStore::OpenIniFile(Ini()));
    QCOMPARE(again.GetSetting("Text1", "default"), value);
  }

  void booleans_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");  // 0 false, 1 true, -1 not a boolean
    QTest::newRow("True") << "True" << 1;
    QTest::newRow("False") << "False" << 0;
    QTest::newRow("lower true") << "true" << 1;
    QTest::newRow("upper FALSE") << "FALSE" << 0;
    QTest::newRow("one") << "1" << 1;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("minus one") << "-1" << 1;
    QTest::newRow("fraction") << "0.5" << 1;
    QTest::newRow("blanks around") << " 0 " << 0;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("yes") << "yes" << -1;
    QTest::newRow("not a number") << "nan" << -1;
    QTest::newRow("infinity") << "inf" << -1;
    QTest::newRow("word with number") << "1a" << -1;
  }
  void booleans() {
    QFETCH(QString, text);
    QFETCH(int, expected);
    if (expected < 0) {
      QVERIFY_THROWS_EXCEPTION(platform::Failure, SettingsStore::ToBoolean(text));
    } else {
      QCOMPARE(SettingsStore::ToBoolean(text), expected == 1);
    }
  }

  void bool_setting_defaults_and_failures() {
    SettingsStore store(SettingsStore::OpenIniFile(Ini()));
    QCOMPARE(store.GetBoolSetting("Option1", true), true);
    QCOMPARE(store.GetBoolSetting("Option2", false), false);
    store.SaveSetting("Option2", "maybe");
    QVERIFY_THROWS_EXCEPTION(platform::Failure, store.GetBoolSetting("Option2", false));
  }

  void unwritable_store_fails() {
    // A folder where the INI file should be cannot be written.
    const QString blocked = temp_.filePath(QStringLiteral("blocked.ini"));
    QVERIFY(QDir().mkpath(blocked));
    SettingsStore store(SettingsStore::OpenIniFile(blocked));
    QVERIFY_THROWS_EXCEPTION(platform::Failure, store.SaveSetting("Text1", "x"));
    // Once the place is writable again, the next write succeeds.
    QVERIFY(QDir().rmdir(blocked));
    store.SaveSetting("Text1", "y");
    QCOMPARE(store.GetSetting("Text1", "default"), QStringLiteral("y"));
    QCOMPARE(QSettings(blocked, QSettings::IniFormat).value("Mailvane/Text1").toString(),
             QStringLiteral("y"));
  }
};

QTEST_GUILESS_MAIN(SettingsStoreTest)
#include "settings_store_test.moc"
