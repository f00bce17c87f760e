// The real boxes behind platform::Dialogs: QMessageBox, QInputDialog, QFileDialog,
// and the desktop's file browser and web browser. Texts cross from UTF-8 into
// QString here.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include "platform/dialogs.h"

class QtDialogs : public platform::Dialogs {
 public:
  // Boxes are modal to `owner` (the main window) once it is set.
  void SetOwner(QWidget* owner) { owner_ = owner; }


  void ShowMessage(const std::string& text, const std::string& title = {},
                   platform::MessageIcon icon = platform::MessageIcon::kNone) override;
  bool AskYesNo(const std::string& text, const std::string& title = {}) override;
  std::string InputBox(const std::string& prompt, const std::string& preset,
                       const std::string& title = {}) override;
  std::string PickFolder(const std::string& title, const std::string& start_folder) override;
  std::vector<std::string> PickOpenFiles(const std::string& title, const std::string& filter) override;
  void OpenFolder(const std::string& path) override;
  void OpenUrl(const std::string& url) override;

  // Message texts carry CR LF and lone CRs as line breaks; a label breaks only
  // at LF, so each of them becomes one LF for display.
  static QString DisplayText(const std::string& text);

 private:
  QString TitleOr(const std::string& title) const {
    return QString::fromStdString(platform::Dialogs::TitleOr(title));
  }

  QPointer<QWidget> owner_;
};
