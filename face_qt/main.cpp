// mailvane: the one-window application, Qt face.
#include <QApplication>
#include <QIcon>

#include "face_qt/app_folder.h"
#include "face_qt/form1_window.h"
#include "face_qt/qt_dialogs.h"
#include "face_qt/qt_seams.h"
#include "face_qt/settings_ini.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Mailvane"));
  QApplication::setOrganizationName(QStringLiteral("Velmora"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/mailvane/mailvane.png")));
  // Names the installed desktop entry, so docks and task bars show its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("example.mailvane.Mailvane"));

  QtDialogs dialogs;
  platform::QtEventPump pump;
  platform::QtRandomSource random;
  IniSettingsStore settings(IniSettingsStore::OpenUserSettings());
  Form1Window window({.dialogs = dialogs,
                      .pump = pump,
                      .random = random,
                      .settings = settings,
                      .app_folder = ApplicationFolder().toStdString()});
  dialogs.SetOwner(&window);
  // Start-up runs before the window is shown; its reports come first.
  window.Form().Form_Load();
  window.show();
  return app.exec();
}
