#include <windows.h>

#include "conversion/result_files.h"
#include "platform/error_report.h"
#include "platform/windows_text.h"

namespace conversion {

using platform::FailWithWindowsError;
using platform::WidePath;

std::unordered_set<std::string> FolderEntries(const std::string& folder) {
  std::unordered_set<std::string> names;
  if (folder.empty() || folder.find('\0') != std::string::npos) return names;
  const std::string base = folder.ends_with('\\') || folder.ends_with('/') ? folder : folder + '\\';
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileExW(WidePath(base + "*").c_str(), FindExInfoBasic, &found,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    names.insert(platform::Utf8FromWide(found.cFileName));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

void MoveResultInPlace(const std::string& from, const std::string& to) {
  if (from.empty() || to.empty()) FailWithWindowsError("Cannot move the result to " + to, ERROR_FILE_NOT_FOUND);
  // Replaces the target in one step, and copies when the target is on another
  // volume (then the source is deleted only after the copy is complete).
  if (!MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)) {
    FailWithWindowsError("Cannot move the result to " + to, GetLastError());
  }
}

std::string KeepResultAfterFailedMove(const std::string& result, const std::string& kept) {
  const std::wstring wide_result = WidePath(result);
  // Without MOVEFILE_REPLACE_EXISTING the move never replaces a file.
  if (MoveFileExW(wide_result.c_str(), WidePath(kept).c_str(), 0)) {
    return "The result is kept as " + kept + ".";
  }
  const DWORD error = GetLastError();
  if (!DeleteFileW(wide_result.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
    return "The result is left as " + result + ".";
  }
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
    return "The result was not kept: " + kept + " is already there.";
  }
  return "The result was not kept.";
}

}  // namespace conversion
