// Filling the list: the file dialog, whole folder trees, the samples, drag and
// drop. The handlers of "Add MSG File(s)", "Add All MSG File(s) In Folder",
// "Load Sample/Example Files" and the list's drop target.
//
// The step numbers are the handlers' own; a failing step is reported and the
// handler goes on with the next one (platform/error_report.h).
#pragma once

#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/settings.h"
#include "window/file_list.h"

namespace window {

class FileIntake {
 public:
  FileIntake(FileList& list, platform::Dialogs& dialogs, platform::EventPump& pump,
             platform::SettingsStore& settings, std::string app_folder)
      : list_(list), dialogs_(dialogs), pump_(pump), settings_(settings),
        app_folder_(std::move(app_folder)) {}

  void PushButton1_Click();  // Add MSG File(s)
  void PushButton4_Click();  // Add All MSG File(s) In Folder
  void PushButton7_Click();  // Load Sample/Example Files
  // Drop target: true accepts the drag of these local paths.
  bool OLEDragOver(const std::vector<std::string>& paths) const { return !paths.empty(); }
  void OLEDragDrop(const std::vector<std::string>& paths);

 private:
  // Appends every sample file not yet listed, then offers to open the folder.
  void AddSampleFiles();
  // Adds the files of a dropped folder and of every folder below it.
  void AddDroppedFolder(const std::string& folder);

  FileList& list_;
  platform::Dialogs& dialogs_;
  platform::EventPump& pump_;
  platform::SettingsStore& settings_;
  std::string app_folder_;
  // The folder last chosen through "Add All MSG File(s) In Folder".
  std::string last_folder_;
};

}  // namespace window
