// mailvane: the one-window application.
#include <QApplication>
#include <QDir>
#include <QIcon>

#include "app/form1.h"
#include "app/qt_dialogs.h"
#include "app/qt_seams.h"
#include "app/settings_store.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Mailvane"));
  QApplication::setOrganizationName(QStringLiteral("Velmora"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/mailvane/mailvane.png")));

  QtDialogs dialogs;
  QtEventPump pump;
  QtRandomSource random;
  QtScreenCursor screen_cursor;
  SettingsStore settings(SettingsStore::OpenUserSettings());
  Form1 form({.dialogs = dialogs,
              .pump = pump,
              .random = random,
              .settings = settings,
              .app_folder = QDir::toNativeSeparators(QCoreApplication::applicationDirPath()),
              .screen_cursor = screen_cursor});
  dialogs.SetOwner(&form);
  // Start-up runs before the window is shown; its reports come first.
  form.Form_Load();
  form.show();
  return app.exec();
}
