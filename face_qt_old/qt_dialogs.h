// The real boxes behind platform::Dialogs: QMessageBox, QInputDialog, QFileDialog,
// and the desktop's file browser and web browser.
#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/dialogs.h"

class QtDialogs : public platform::Dialogs {
 public:
  // Boxes are modal to `owner` (the main window) once it is set.
  void SetOwner(QWidget* owner) { owner_ = owner; }

  void SetAppTitle(const QString& title) override { app_title_ = title; }
  QString AppTitle() const override { return app_title_; }

  void ShowMessage(const QString& text, const QString& title = {},
                   platform::MessageIcon icon = platform::MessageIcon::kNone) override;
  bool AskYesNo(const QString& text, const QString& title = {}) override;
  QString InputBox(const QString& prompt, const QString& preset, const QString& title = {}) override;
  QString PickFolder(const QString& title, const QString& start_folder) override;
  QStringList PickOpenFiles(const QString& title, const QString& filter) override;
  void OpenFolder(const QString& path) override;
  void OpenUrl(const QString& url) override;

  // Message texts carry CR LF and lone CRs as line breaks; a label breaks only
  // at LF, so each of them becomes one LF for display.
  static QString DisplayText(const QString& text);

 private:
  QString TitleOr(const QString& title) const { return title.isEmpty() ? app_title_ : title; }

  QPointer<QWidget> owner_;
  QString app_title_;
};
