// The file system's side of folder_scan.h on Windows: UTF-8 paths become UTF-16
// in the extended-length form at each call, and the attributes are the system's own.
#include <windows.h>

#include "intake/folder_scan.h"
#include "intake/name_text.h"
#include "platform/windows_text.h"

namespace intake {

bool IsExistingFile(const std::string& path) {
  if (!IsUsablePath(path)) return false;
  const DWORD attributes = GetFileAttributesW(platform::WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
         (attributes & FILE_ATTRIBUTE_DEVICE) == 0;
}

std::optional<int> FileAttributes(const std::string& path) {
  if (!IsUsablePath(path)) return std::nullopt;
  const DWORD attributes = GetFileAttributesW(platform::WidePath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  // The bits the handlers compare, as Windows reports them.
  return static_cast<int>(attributes & (kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrDirectory |
                                        kAttrArchive | kAttrReparsePoint));
}

std::vector<std::string> ListFolderFiles(const std::string& folder, const std::string& pattern) {
  std::string base = folder;
  if (!base.ends_with('\\') && !base.ends_with('/')) base += '\\';
  std::vector<std::string> names;
  if (!IsUsablePath(base)) return names;
  WIN32_FIND_DATAW found;
  // Every name, matched here by the same rules as on the other systems (the
  // system's own matcher also tries the short 8.3 names).
  HANDLE search = FindFirstFileExW(platform::WidePath(base + "*").c_str(), FindExInfoBasic, &found,
                                   FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return names;
  const WildcardMatcher matcher(pattern);
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    std::string name = platform::Utf8FromWide(found.cFileName);
    if (!matcher.Matches(name)) continue;
    if (!IsExistingFile(base + name)) continue;
    names.push_back(std::move(name));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  SortNames(names);
  return names;
}

}  // namespace intake
