#include "app/qt_dialogs.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>

QString QtDialogs::DisplayText(const QString& text) {
  QString shown = text;
  shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

void QtDialogs::ShowMessage(const QString& text, const QString& title, platform::MessageIcon icon) {
  QMessageBox box(icon == platform::MessageIcon::kWarning ? QMessageBox::Warning : QMessageBox::NoIcon,
                  TitleOr(title), DisplayText(text), QMessageBox::Ok, owner_);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

bool QtDialogs::AskYesNo(const QString& text, const QString& title) {
  QMessageBox box(QMessageBox::NoIcon, TitleOr(title), DisplayText(text),
                  QMessageBox::Yes | QMessageBox::No, owner_);
  box.setTextFormat(Qt::PlainText);
  return box.exec() == QMessageBox::Yes;
}

QString QtDialogs::InputBox(const QString& prompt, const QString& preset, const QString& title) {
  bool ok = false;
  const QString answer = QInputDialog::getText(owner_, TitleOr(title), DisplayText(prompt),
                                               QLineEdit::Normal, preset, &ok);
  return ok ? answer : QString();
}

QString QtDialogs::PickFolder(const QString& title, const QString& start_folder) {
  const QString chosen = QFileDialog::getExistingDirectory(
      owner_, title, start_folder, QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
  if (chosen.isEmpty()) return {};
  // Qt gives clean paths without a trailing separator, except for a root.
  return QDir::toNativeSeparators(QDir::cleanPath(chosen));
}

QStringList QtDialogs::PickOpenFiles(const QString& title, const QString& filter) {
  QStringList chosen = QFileDialog::getOpenFileNames(owner_, title, QString(), filter);
  for (QString& path : chosen) path = QDir::toNativeSeparators(path);
  return chosen;
}

void QtDialogs::OpenFolder(const QString& path) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void QtDialogs::OpenUrl(const QString& url) { QDesktopServices::openUrl(QUrl(url)); }
