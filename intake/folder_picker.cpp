#include "intake/folder_picker.h"

namespace intake {

std::string BrowseForFolder(platform::Dialogs& dialogs, const std::string& title,
                            const std::string& start_folder) {
  std::string chosen = dialogs.PickFolder(title, start_folder);
  const size_t nul = chosen.find('\0');
  if (nul != std::string::npos) chosen.resize(nul);
  auto is_separator = [](char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
  };
  while (chosen.size() > 1 && is_separator(chosen.back())) {
    // A drive root keeps its separator: "C:" names the drive's current folder.
    if (chosen.size() == 3 && chosen[1] == ':') break;
    chosen.pop_back();
  }
  return chosen;
}

}  // namespace intake
