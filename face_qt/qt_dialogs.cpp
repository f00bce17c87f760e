#include "face_qt/qt_dialogs.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>

QString QtDialogs::DisplayText(const std::string& text) {
  QString shown = QString::fromStdString(text);
  shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

void QtDialogs::ShowMessage(const std::string& text, const std::string& title,
                            platform::MessageIcon icon) {
  QMessageBox box(icon == platform::MessageIcon::kWarning ? QMessageBox::Warning : QMessageBox::NoIcon,
                  TitleOr(title), DisplayText(text), QMessageBox::Ok, owner_);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

bool QtDialogs::AskYesNo(const std::string& text, const std::string& title) {
  QMessageBox box(QMessageBox::NoIcon, TitleOr(title), DisplayText(text),
                  QMessageBox::Yes | QMessageBox::No, owner_);
  box.setTextFormat(Qt::PlainText);
  return box.exec() == QMessageBox::Yes;
}

std::string QtDialogs::InputBox(const std::string& prompt, const std::string& preset,
                                const std::string& title) {
  bool ok = false;
  const QString answer = QInputDialog::getText(owner_, TitleOr(title), DisplayText(prompt),
                                               QLineEdit::Normal, QString::fromStdString(preset), &ok);
  return ok ? answer.toStdString() : std::string();
}

std::string QtDialogs::PickFolder(const std::string& title, const std::string& start_folder) {
  const QString chosen = QFileDialog::getExistingDirectory(
      owner_, QString::fromStdString(title), QString::fromStdString(start_folder),
      QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
  if (chosen.isEmpty()) return {};
  // Qt gives clean paths without a trailing separator, except for a root.
  return QDir::toNativeSeparators(QDir::cleanPath(chosen)).toStdString();
}

std::vector<std::string> QtDialogs::PickOpenFiles(const std::string& title, const std::string& filter) {
  const QStringList chosen = QFileDialog::getOpenFileNames(owner_, QString::fromStdString(title), QString(),
                                                           QString::fromStdString(filter));
  std::vector<std::string> paths;
  for (const QString& path : chosen) paths.push_back(QDir::toNativeSeparators(path).toStdString());
  return paths;
}

void QtDialogs::OpenFolder(const std::string& path) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

void QtDialogs::OpenUrl(const std::string& url) {
  QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}
