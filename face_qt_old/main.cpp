// mailvane: the one-window application.
#include <QApplication>
#include <QIcon>

#include "app/app_folder.h"
#include "app/form1.h"
#include "app/qt_dialogs.h"
#include "app/qt_screen_cursor.h"
#include "app/settings_store.h"
#include "platform/qt_seams.h"

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
  QtScreenCursor screen_cursor;
  SettingsStore settings(SettingsStore::OpenUserSettings());
  Form1 form({.dialogs = dialogs,
              .pump = pump,
              .random = random,
              .settings = settings,
              .app_folder = ApplicationFolder(),
              .screen_cursor = screen_cursor});
  dialogs.SetOwner(&form);
  // Start-up runs before the window is shown; its reports come first.
  form.Form_Load();
  form.show();
  return app.exec();
}
