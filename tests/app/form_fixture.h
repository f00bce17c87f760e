// A Form1 wired to scripted seams: dialogs that record and answer from queues,
// a fixed random draw, a settable screen pointer, an INI store and a program
// folder of its own, all in one temporary folder.
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/form1.h"
#include "app/screen_cursor.h"
#include "app/settings_store.h"
#include "platform/error_report.h"
#include "tests/support/scripted_dialogs.h"

namespace app_testing {

class FakeScreenCursor : public ScreenCursor {
 public:
  QPoint Position() const override { return position; }
  QPoint position{0, 330};  // between the two edge-scroll thresholds
};

inline QString ResourcePath(const QString& name) {
  return QStringLiteral(APP_RESOURCES_DIR "/") + name;
}

struct FormFixture {
  QTemporaryDir temp;
  testing_support::ScriptedDialogs dialogs;
  testing_support::ScriptedPump pump;
  testing_support::FixedRandom random{50};
  FakeScreenCursor screen;
  std::unique_ptr<SettingsStore> store;
  std::unique_ptr<Form1> form;
  int end_program_calls = 0;

  FormFixture() {
    QDir(temp.path()).mkpath(QStringLiteral("bin"));
    store = std::make_unique<SettingsStore>(SettingsStore::OpenIniFile(IniPath()));
  }

  QString AppFolder() const { return temp.path() + QStringLiteral("/bin"); }
  QString IniPath() const { return temp.path() + QStringLiteral("/settings.ini"); }

  // Copies one of the program's own pointer files beside the program.
  void InstallResource(const QString& name) {
    QVERIFY(QFile::copy(ResourcePath(name), AppFolder() + QLatin1Char('/') + name));
  }
  void WriteBeside(const QString& name, const QByteArray& bytes) {
    const QString path = AppFolder() + QLatin1Char('/') + name;
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }

  // Writes a value straight into the INI file, as an earlier run would have.
  void Store(const QString& key, const QString& value) { store->SaveSetting(key, value); }
  // What the INI file holds now, read by a fresh reader; "<absent>" for none.
  QString Stored(const QString& key) const {
    QSettings reader(IniPath(), QSettings::IniFormat);
    reader.beginGroup(QStringLiteral("Mailvane"));
    return reader.contains(key) ? reader.value(key).toString() : QStringLiteral("<absent>");
  }

  Form1& Make() {
    form = std::make_unique<Form1>(Form1Deps{.dialogs = dialogs,
                                             .pump = pump,
                                             .random = random,
                                             .settings = *store,
                                             .app_folder = AppFolder(),
                                             .screen_cursor = screen,
                                             .end_program = [this] { ++end_program_calls; }});
    return *form;
  }
  Form1& Load() {
    Make();
    form->Form_Load();
    return *form;
  }

  // Texts of the error reports shown so far.
  QStringList Reports() const {
    QStringList texts;
    for (const auto& m : dialogs.messages) {
      if (m.title == QLatin1String("Application Error")) texts << m.text;
    }
    return texts;
  }
};

inline QString StartUpReport(const QString& description, int step) {
  return description + QStringLiteral("\r\nin Quorvex2021/08/31.Form1.Form_Load at line ") +
         QString::number(step) +
         QStringLiteral("\r\rPlease email screenshot of this message to support@velmora.example");
}

}  // namespace app_testing
