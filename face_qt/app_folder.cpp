#include "face_qt/app_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString ProgramFolderOf(const QString& program_path) {
  const QFileInfo program(program_path);
  // canonicalFilePath follows links all the way and is empty when the
  // target is missing, e.g. a dangling link.
  const QString real = program.canonicalFilePath();
  if (real.isEmpty()) return program.absolutePath();
  return QFileInfo(real).path();
}

QString ApplicationFolder() {
  // On Linux Qt takes the program path from /proc/self/exe, which names the
  // real file; resolving again covers platforms where it comes from argv[0].
  return QDir::toNativeSeparators(ProgramFolderOf(QCoreApplication::applicationFilePath()));
}
