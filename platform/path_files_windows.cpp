// The file-system procedures of path_helpers.h on Windows: UTF-8 paths become
// UTF-16 in the extended-length form at each call.
#include <windows.h>

#include "platform/error_report.h"
#include "platform/path_helpers.h"
#include "platform/windows_text.h"

namespace platform {

namespace {

DWORD AttributesOf(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) return INVALID_FILE_ATTRIBUTES;
  return GetFileAttributesW(WidePath(path).c_str());
}

}  // namespace

bool PathExists(const std::string& path) { return AttributesOf(path) != INVALID_FILE_ATTRIBUTES; }

bool IsFolder(const std::string& path) {
  const DWORD attributes = AttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void RemoveFile(const std::string& path, EventPump& pump) {
  pump.Yield();
  if (path.empty() || path.find('\0') != std::string::npos) return;
  if (DeleteFileW(WidePath(path).c_str())) return;
  try {
    ForceDeleteFile(path);
  } catch (const Failure&) {
    // Deliberately quiet, as on the other systems.
  }
}

void ForceDeleteFile(const std::string& path) {
  const DWORD attributes = AttributesOf(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) FailWithWindowsError({}, GetLastError());
  const std::wstring wide = WidePath(path);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) FailWithWindowsError({}, ERROR_ACCESS_DENIED);
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetFileAttributesW(wide.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
  }
  if (!DeleteFileW(wide.c_str())) FailWithWindowsError({}, GetLastError());
}

}  // namespace platform
