// Everything modal that the window shows, the message loop and the random draw,
// each behind an interface, so handlers can be driven from tests. QtDialogs (app)
// uses Qt's real boxes, QtEventPump and QtRandomSource (platform/qt_seams.h) the
// real loop and generator; ScriptedDialogs, ScriptedPump and FixedRandom
// (tests/support) record what was shown and answer from queues.
#pragma once

#include <QString>
#include <QStringList>

namespace platform {

enum class MessageIcon { kNone, kWarning };

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // The title every box and prompt shows when it is given none.
  virtual void SetAppTitle(const QString& title) = 0;
  virtual QString AppTitle() const = 0;

  // Modal box with one OK button. An empty title means the application title.
  virtual void ShowMessage(const QString& text, const QString& title = {},
                           MessageIcon icon = MessageIcon::kNone) = 0;
  // Modal box with Yes and No; true for Yes.
  virtual bool AskYesNo(const QString& text, const QString& title = {}) = 0;
  // Input box with a preset answer; returns empty text on Cancel.
  virtual QString InputBox(const QString& prompt, const QString& preset,
                           const QString& title = {}) = 0;
  // Folder chooser: only folders, start folder preselected. Returns the full path
  // without a trailing separator (except a root), or empty text on cancel.
  virtual QString PickFolder(const QString& title, const QString& start_folder) = 0;
  // File-open dialog, several files allowed. Returns the chosen full paths in the
  // dialog's order; empty on cancel.
  virtual QStringList PickOpenFiles(const QString& title, const QString& filter) = 0;
  // Opens a folder in the desktop's file browser / an address in the browser.
  virtual void OpenFolder(const QString& path) = 0;
  virtual void OpenUrl(const QString& url) = 0;
};

// "Yield to the message loop" in long work.
class EventPump {
 public:
  virtual ~EventPump() = default;
  virtual void Yield() = 0;
};

// The random draw of the start-up (a whole number from 1 to 100).
class RandomSource {
 public:
  virtual ~RandomSource() = default;
  virtual int Draw1To100() = 0;
};

}  // namespace platform
