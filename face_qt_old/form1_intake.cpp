// Filling the list: the file dialog, whole folders, the samples, drag and drop.
//
// The step numbers are the handlers' own; a failing step is reported and the
// handler goes on with the next one (platform/error_report.h).
#include <QMimeData>
#include <QUrl>
#include <algorithm>

#include "app/form1.h"
#include "intake/folder_picker.h"
#include "intake/folder_scan.h"
#include "intake/subdirectories.h"
#include "platform/error_report.h"
#include "platform/path_helpers.h"

namespace {

constexpr char kAddFilesTitle[] = "Add File(s) - Hold Ctrl to select multiple files";
constexpr char kMsgFilter[] = "MSG Files (*.msg)";
// The longest selection taken, counted by SelectionChars; a longer one is
// refused with the message below.
constexpr int kMaxSelectionChars = 30000;

constexpr char kExtensionPrompt[] =
    "Enter file extension to load:\r\r(* for all files, txt for all txt files, doc for all doc "
    "files, etc.)";
constexpr char kSampleQuestion[] =
    "Would you like this software to open the folder where these sample files are stored (so "
    "that you can view them before working with them)?";

// Hidden + archive: what Windows gave the temporary copies that these scans
// leave out.
constexpr int kSkippedAttributes = intake::kAttrHidden | intake::kAttrArchive;

QString TooManyFilesMessage() {
  return QStringLiteral("You've selected too many files to add.") + QStringLiteral("\r\r") +
         QStringLiteral("Please try adding via the \"Add All\" button.");
}

QString WithoutTrailingSeparator(const QString& path) {
  QString trimmed = path;
  while (trimmed.size() > 1 && trimmed.endsWith(u'/')) trimmed.chop(1);
  return trimmed;
}

// The length of a selection written as one text: for one file its path; for
// several the folder, then for each file a separator and its name.
qsizetype SelectionChars(const QStringList& chosen) {
  if (chosen.size() == 1) return chosen.front().size();
  qsizetype total = WithoutTrailingSeparator(platform::FolderOf(chosen.front())).size();
  for (const QString& path : chosen) total += 1 + platform::FileNameOf(path).size();
  return total;
}

// The test both folder handlers apply to each file found: a real file whose
// attributes are not exactly hidden + archive. Throws when the attributes cannot
// be read (the file went away after it was listed).
bool IsTakenFromTree(const QString& path) {
  if (!intake::IsExistingFile(path)) return false;
  const std::optional<int> attributes = intake::FileAttributes(path);
  if (!attributes) throw platform::Failure("File not found");
  return *attributes != kSkippedAttributes;
}

}  // namespace

void Form1::PushButton1_Click() {
  platform::Guard guard(Dialogs(), Location("PushButton1_Click"));
  QStringList chosen;
  // The dialog's title and its one filter travel with the call.
  guard.Step(112, [&] {
    chosen = Dialogs().PickOpenFiles(QString::fromLatin1(kAddFilesTitle),
                                     QString::fromLatin1(kMsgFilter));
  });
  if (!chosen.isEmpty() && SelectionChars(chosen) > kMaxSelectionChars) {
    Dialogs().ShowMessage(TooManyFilesMessage());
    return;
  }
  if (guard.ExitIf(114, [&] { return chosen.isEmpty(); })) return;
  if (guard.If(118, [&] { return chosen.size() == 1; })) {
    QString path;
    guard.Step(120, [&] { path = chosen.front(); });
    guard.Step(122, [&] { AddFileToList(path); });
    return;
  }
  for (qsizetype i = 0; i < chosen.size(); ++i) {
    // Folder and name joined with a separator, then collapsed: a file picked in
    // the root gives "//a.msg" here and "/a.msg" after the collapse.
    QString path;
    guard.Step(136, [&] {
      path = WithoutTrailingSeparator(platform::FolderOf(chosen[i])) + u'/' +
             platform::FileNameOf(chosen[i]);
    });
    guard.Step(138, [&] { path = platform::CollapseBackslashes(path); });
    guard.Step(140, [&] { AddFileToList(path); });
  }
}

void Form1::PushButton4_Click() {
  platform::Guard guard(Dialogs(), Location("PushButton4_Click"));
  QString extension;
  guard.Step(100, [&] {
    extension = Dialogs().InputBox(QString::fromLatin1(kExtensionPrompt),
                                   Settings().GetSetting(QStringLiteral("Extension"),
                                                         QStringLiteral("msg")));
  });
  guard.Step(100, [&] {
    if (!extension.isEmpty()) Settings().SaveSetting(QStringLiteral("Extension"), extension);
  });
  if (guard.ExitIf(102, [&] { return extension.isEmpty(); })) return;

  guard.Step(104, [&] {
    last_folder_ = Settings().GetSetting(QStringLiteral("LastFolder"), QString());
  });
  QString chosen;
  guard.Step(104, [&] {
    chosen = intake::BrowseForFolder(Dialogs(), QStringLiteral("Please select folder:"),
                                     last_folder_);
  });
  if (guard.ExitIf(106, [&] { return chosen.isEmpty(); })) return;
  guard.Step(333, [&] { last_folder_ = chosen; });
  guard.Step(334, [&] { Settings().SaveSetting(QStringLiteral("LastFolder"), last_folder_); });

  guard.Step(112, [&] { SetHourglass(); });
  QStringList folders;
  guard.Step(114, [&] { folders = QStringList{chosen + u'/'}; });
  // A failure the walk passes up leaves the set as far as it got.
  guard.Step(116, [&] { intake::GetSubDirectories2016(folders, true, Dialogs(), Pump()); });

  const QString pattern = QStringLiteral("*.") + extension;
  for (qsizetype f = 0; f < folders.size(); ++f) {
    QString folder;
    guard.Step(120, [&] { folder = folders[f].chopped(1); });
    QStringList names;
    guard.Step(122, [&] { names = intake::ListFolderFiles(folder, pattern); });
    for (const QString& name : names) {
      if (guard.ExitIf(126, [&] { return name.startsWith(u'~'); })) continue;
      QString path;
      guard.Step(128, [&] { path = folder + u'/' + name; });
      if (!guard.If(130, [&] { return IsTakenFromTree(path); })) continue;
      guard.Step(132, [&] { AddFileToList(platform::CollapseBackslashes(path)); });
    }
  }
  guard.Step(136, [&] { SetDefaultPointer(); });
}

void Form1::PushButton7_Click() {
  platform::Guard guard(Dialogs(), Location("PushButton7_Click"));
  guard.Step(100, [&] { AddSampleFiles(); });
}

void Form1::AddSampleFiles() {
  const QString sample_folder = AppFolder() + QStringLiteral("/Samples");
  const QStringList names = intake::ListFolderFiles(sample_folder, QStringLiteral("*.*"));
  for (const QString& name : names) {
    // Appended exactly so, without normalising, and only when not yet listed.
    const QString path = sample_folder + u'/' + name;
    if (!IsPathInList(path)) AddFileToList(path);
  }
  if (Dialogs().AskYesNo(QString::fromLatin1(kSampleQuestion))) Dialogs().OpenFolder(sample_folder);
}

bool Form1::ListView1_OLEDragOver(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return false;
  const QList<QUrl> urls = data->urls();
  return std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
}

void Form1::ListView1_OLEDragDrop(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return;
  // Copied first: handlers that run while a folder is scanned may end the drag.
  const QList<QUrl> urls = data->urls();
  for (const QUrl& url : urls) {
    if (!url.isLocalFile()) continue;
    const QString path = url.toLocalFile();
    if (path.isEmpty()) continue;
    // Nothing that goes wrong with one dropped item may end the program: the
    // item is left out and the next one handled.
    try {
      if (platform::IsFolder(path)) {
        AddDroppedFolder(WithoutTrailingSeparator(path));
      } else {
        AddFileToList(path);
      }
    } catch (const std::exception&) {
    }
  }
}

void Form1::AddDroppedFolder(const QString& folder) {
  QStringList folders{folder + u'/'};
  intake::GetSubDirectories2016(folders, true, Dialogs(), Pump());
  for (const QString& entry : folders) {
    const QString shortened = entry.chopped(1);
    for (const QString& name : intake::ListFolderFiles(shortened, QStringLiteral("*.*"))) {
      if (name.startsWith(u'~')) continue;
      const QString path = shortened + u'/' + name;
      try {
        if (IsTakenFromTree(path)) AddFileToList(platform::CollapseBackslashes(path));
      } catch (const std::exception&) {
        // Gone since it was listed: left out.
      }
    }
  }
}
