// Times "Add All MSG File(s) In Folder" and a dropped folder on a generated tree.
//
//   intake_scan_bench [folder]
//
// Below `folder` (or a temporary folder) it builds 50 folders holding 99
// folders each, 5,000 folders with 20 .msg files in each, 100,000 files in all;
// a tree left by an earlier run in `folder` is reused. Then it runs both
// handlers through the real window with the real message loop and prints the
// seconds each took. The file system's cache is warm: the tree was just made.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "face_qt/form1_window.h"
#include "face_qt/qt_seams.h"
#include "face_qt/settings_ini.h"
#include "tests/support/scripted_dialogs.h"

namespace {

constexpr int kTopFolders = 50;
constexpr int kSubFolders = 99;
constexpr int kFilesPerFolder = 20;

bool MakeFiles(const QString& folder) {
  if (!QDir().mkpath(folder)) return false;
  for (int f = 0; f < kFilesPerFolder; ++f) {
    const QByteArray path = QFile::encodeName(folder + QStringLiteral("/message %1.msg").arg(f));
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    ::close(fd);
  }
  return true;
}

bool MakeTree(const QString& top) {
  if (QFile::exists(top + QStringLiteral("/.complete"))) return true;
  for (int a = 0; a < kTopFolders; ++a) {
    const QString first = top + QStringLiteral("/Folder %1").arg(a, 2, 10, QChar(u'0'));
    if (!MakeFiles(first)) return false;
    for (int b = 0; b < kSubFolders; ++b) {
      if (!MakeFiles(first + QStringLiteral("/Sub %1").arg(b, 2, 10, QChar(u'0')))) return false;
    }
  }
  QFile done(top + QStringLiteral("/.complete"));
  return done.open(QIODevice::WriteOnly);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  QTemporaryDir scratch;
  if (!scratch.isValid()) return 1;
  const QString top = argc > 1 ? QString::fromLocal8Bit(argv[1]) : scratch.path() + "/tree";
  QElapsedTimer timer;
  timer.start();
  if (!MakeTree(top)) {
    std::fprintf(stderr, "cannot build the tree in %s\n", qPrintable(top));
    return 1;
  }
  std::printf("tree: %d folders, %d files, built in %.2f s\n", kTopFolders * (1 + kSubFolders),
              kTopFolders * (1 + kSubFolders) * kFilesPerFolder, timer.elapsed() / 1000.0);

  testing_support::ScriptedDialogs dialogs;
  platform::QtEventPump pump;
  testing_support::FixedRandom random(50);
  IniSettingsStore settings(IniSettingsStore::OpenIniFile(scratch.path() + "/settings.ini"));
  Form1Window form(window::FormServices{dialogs, pump, random, settings, scratch.path().toStdString(), [] {}});
  form.show();

  dialogs.input_answers.push_back("msg");
  dialogs.folder_answers.push_back(top.toStdString());
  timer.restart();
  form.Form().PushButton4_Click();
  const double add_all = timer.elapsed() / 1000.0;
  const int listed = form.ItemCount();
  std::printf("Add All:        %.2f s, %d files listed\n", add_all, listed);

  form.ListView1->clear();
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(top)});
  timer.restart();
  form.Form().ListView1_OLEDragDrop(Form1Window::LocalPaths(&data));
  const double drop = timer.elapsed() / 1000.0;
  std::printf("dropped folder: %.2f s, %d files listed\n", drop, form.ItemCount());
  std::printf("target: under 5 s each: %s\n", add_all < 5 && drop < 5 ? "met" : "MISSED");
  return 0;
}
