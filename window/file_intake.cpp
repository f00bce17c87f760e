#include "window/file_intake.h"

#include "intake/folder_picker.h"
#include "intake/folder_scan.h"
#include "intake/subdirectories.h"
#include "platform/error_report.h"
#include "platform/path_helpers.h"
#include "window/beside_program.h"

namespace window {

namespace {

constexpr char kAddFilesTitle[] = "Add File(s) - Hold Ctrl to select multiple files";
constexpr char kMsgFilter[] = "MSG Files (*.msg)";
// The longest selection taken, counted by SelectionChars; a longer one is
// refused with the message below.
constexpr size_t kMaxSelectionChars = 30000;

constexpr char kExtensionPrompt[] =
    "Enter file extension to load:\r\r(* for all files, txt for all txt files, doc for all doc "
    "files, etc.)";
constexpr char kSampleQuestion[] =
    "Would you like this software to open the folder where these sample files are stored (so "
    "that you can view them before working with them)?";
constexpr char kTooManyFiles[] =
    "You've selected too many files to add.\r\rPlease try adding via the \"Add All\" button.";

// Hidden + archive: what Windows gave the temporary copies that these scans
// leave out.
constexpr int kSkippedAttributes = intake::kAttrHidden | intake::kAttrArchive;

std::string WithoutTrailingSeparator(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == platform::kSeparator) trimmed.pop_back();
  return trimmed;
}

// Characters, not bytes: the dialog's limit counted UTF-16 units.
size_t CharCount(const std::string& text) {
  size_t count = 0;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80) count += byte >= 0xF0 ? 2 : 1;
  }
  return count;
}

// The length of a selection written as one text: for one file its path; for
// several the folder, then for each file a separator and its name.
size_t SelectionChars(const std::vector<std::string>& chosen) {
  if (chosen.size() == 1) return CharCount(chosen.front());
  size_t total = CharCount(WithoutTrailingSeparator(platform::FolderOf(chosen.front())));
  for (const std::string& path : chosen) total += 1 + CharCount(platform::FileNameOf(path));
  return total;
}

// The test both folder handlers apply to each file found: a real file whose
// attributes are not exactly hidden + archive. Throws when the attributes cannot
// be read (the file went away after it was listed).
bool IsTakenFromTree(const std::string& path) {
  if (!intake::IsExistingFile(path)) return false;
  const std::optional<int> attributes = intake::FileAttributes(path);
  if (!attributes) throw platform::Failure("File not found");
  return *attributes != kSkippedAttributes;
}

std::string Location(const char* procedure) {
  return platform::ProcedureLocation("Quorvex", "Form1", procedure);
}

}  // namespace

void FileIntake::PushButton1_Click() {
  platform::Guard guard(dialogs_, Location("PushButton1_Click"));
  std::vector<std::string> chosen;
  // The dialog's title and its one filter travel with the call.
  guard.Step(112, [&] { chosen = dialogs_.PickOpenFiles(kAddFilesTitle, kMsgFilter); });
  if (!chosen.empty() && SelectionChars(chosen) > kMaxSelectionChars) {
    dialogs_.ShowMessage(kTooManyFiles);
    return;
  }
  if (guard.ExitIf(114, [&] { return chosen.empty(); })) return;
  if (guard.If(118, [&] { return chosen.size() == 1; })) {
    std::string path;
    guard.Step(120, [&] { path = chosen.front(); });
    guard.Step(122, [&] { list_.AddFileToList(path); });
    return;
  }
  for (const std::string& one : chosen) {
    // Folder and name joined with a separator, then collapsed: a file picked in
    // the root gives "//a.msg" here and "/a.msg" after the collapse.
    std::string path;
    guard.Step(136, [&] {
      path = WithoutTrailingSeparator(platform::FolderOf(one)) + platform::kSeparator + platform::FileNameOf(one);
    });
    guard.Step(138, [&] { path = platform::CollapseBackslashes(path); });
    guard.Step(140, [&] { list_.AddFileToList(path); });
  }
}

void FileIntake::PushButton4_Click() {
  platform::Guard guard(dialogs_, Location("PushButton4_Click"));
  std::string extension;
  guard.Step(100, [&] {
    extension = dialogs_.InputBox(kExtensionPrompt, settings_.GetSetting("Extension", "msg"));
  });
  guard.Step(100, [&] {
    if (!extension.empty()) settings_.SaveSetting("Extension", extension);
  });
  if (guard.ExitIf(102, [&] { return extension.empty(); })) return;

  guard.Step(104, [&] { last_folder_ = settings_.GetSetting("LastFolder", ""); });
  std::string chosen;
  guard.Step(104, [&] { chosen = intake::BrowseForFolder(dialogs_, "Please select folder:", last_folder_); });
  if (guard.ExitIf(106, [&] { return chosen.empty(); })) return;
  guard.Step(333, [&] { last_folder_ = chosen; });
  guard.Step(334, [&] { settings_.SaveSetting("LastFolder", last_folder_); });

  guard.Step(112, [&] { list_.SetHourglass(); });
  std::vector<std::string> folders;
  // A root keeps its own separator ("/", "C:\"), others get one.
  guard.Step(114, [&] {
    folders = {platform::WithTrailingSeparator(chosen)};
  });
  // A failure the walk passes up leaves the set as far as it got.
  guard.Step(116, [&] { intake::GetSubDirectories2016(folders, true, dialogs_, pump_); });

  const std::string pattern = "*." + extension;
  for (const std::string& entry : folders) {
    std::string folder;
    guard.Step(120, [&] { folder = entry.substr(0, entry.size() - 1); });
    std::vector<std::string> names;
    guard.Step(122, [&] { names = intake::ListFolderFiles(folder, pattern); });
    for (const std::string& name : names) {
      if (guard.ExitIf(126, [&] { return name.starts_with('~'); })) continue;
      std::string path;
      guard.Step(128, [&] { path = folder + platform::kSeparator + name; });
      if (!guard.If(130, [&] { return IsTakenFromTree(path); })) continue;
      guard.Step(132, [&] { list_.AddFileToList(platform::CollapseBackslashes(path)); });
    }
  }
  guard.Step(136, [&] { list_.SetDefaultPointer(); });
}

void FileIntake::PushButton7_Click() {
  platform::Guard guard(dialogs_, Location("PushButton7_Click"));
  guard.Step(100, [&] { AddSampleFiles(); });
}

void FileIntake::AddSampleFiles() {
  const std::string sample_folder = BesideProgram(app_folder_, "Samples");
  for (const std::string& name : intake::ListFolderFiles(sample_folder, "*.*")) {
    // Appended exactly so, without normalising, and only when not yet listed.
    const std::string path = sample_folder + platform::kSeparator + name;
    if (!list_.IsPathInList(path)) list_.AddFileToList(path);
  }
  if (dialogs_.AskYesNo(kSampleQuestion)) dialogs_.OpenFolder(sample_folder);
}

void FileIntake::OLEDragDrop(const std::vector<std::string>& dropped) {
  // Copied first: handlers that run while a folder is scanned may end the drag.
  const std::vector<std::string> paths = dropped;
  for (const std::string& path : paths) {
    if (path.empty()) continue;
    // Nothing that goes wrong with one dropped item may end the program: the
    // item is left out and the next one handled.
    try {
      if (platform::IsFolder(path)) {
        AddDroppedFolder(WithoutTrailingSeparator(path));
      } else {
        list_.AddFileToList(path);
      }
    } catch (const std::exception&) {
    }
  }
}

void FileIntake::AddDroppedFolder(const std::string& folder) {
  std::vector<std::string> folders{platform::WithTrailingSeparator(folder)};
  intake::GetSubDirectories2016(folders, true, dialogs_, pump_);
  for (const std::string& entry : folders) {
    const std::string shortened = entry.substr(0, entry.size() - 1);
    for (const std::string& name : intake::ListFolderFiles(shortened, "*.*")) {
      if (name.starts_with('~')) continue;
      const std::string path = shortened + platform::kSeparator + name;
      try {
        if (IsTakenFromTree(path)) list_.AddFileToList(platform::CollapseBackslashes(path));
      } catch (const std::exception&) {
        // Gone since it was listed: left out.
      }
    }
  }
}

}  // namespace window
