#include <windows.h>

#include <algorithm>

#include "intake/folder_scan.h"
#include "intake/folder_walk.h"
#include "platform/error_report.h"
#include "platform/windows_text.h"

namespace intake::walk {

namespace {

HANDLE OpenFolder(const std::string& path) {
  return CreateFileW(platform::WidePath(path).c_str(), 0,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool IdOfHandle(HANDLE handle, FolderId& id) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info)) return false;
  id.volume = info.dwVolumeSerialNumber;
  id.index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  return true;
}

// The final path of a folder, links resolved, letters folded for comparing.
std::wstring RealPathOf(const std::string& path) {
  HANDLE handle = OpenFolder(path);
  if (handle == INVALID_HANDLE_VALUE) return {};
  std::wstring real(MAX_PATH, L'\0');
  DWORD n = GetFinalPathNameByHandleW(handle, real.data(), static_cast<DWORD>(real.size()), 0);
  if (n >= real.size()) {
    real.resize(n + 1);
    n = GetFinalPathNameByHandleW(handle, real.data(), static_cast<DWORD>(real.size()), 0);
  }
  CloseHandle(handle);
  if (n == 0 || n >= real.size()) return {};
  real.resize(n);
  while (real.size() > 1 && real.back() == L'\\') real.pop_back();
  CharUpperBuffW(real.data(), static_cast<DWORD>(real.size()));
  return real;
}

bool IsWithin(const std::wstring& inner, const std::wstring& outer) {
  return inner.starts_with(outer) && (inner.size() == outer.size() || inner[outer.size()] == L'\\');
}

}  // namespace

FolderId LookUpFolder(const std::string& entry) {
  FolderId id;
  HANDLE handle = IsUsablePath(entry) ? OpenFolder(entry) : INVALID_HANDLE_VALUE;
  const bool ok = handle != INVALID_HANDLE_VALUE && IdOfHandle(handle, id);
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  if (!ok) throw platform::Failure("Path not found");
  return id;
}

bool IsRootFolder(const std::string& entry, const FolderId&) {
  std::wstring wide = platform::WideFromUtf8(entry);
  if (!wide.ends_with(L'\\')) wide += L'\\';
  wchar_t root[MAX_PATH + 1];
  if (!GetVolumePathNameW(wide.c_str(), root, MAX_PATH + 1)) return false;
  return _wcsicmp(root, wide.c_str()) == 0;
}

void StartLine::Note(const std::string& folder) {
  if (!IsUsablePath(folder)) return;
  const std::wstring real = RealPathOf(folder);
  if (!real.empty()) real_paths_.push_back(platform::Utf8FromWide(real));
}

bool StartLine::LeadsInto(const std::string& link) const {
  const std::wstring target = RealPathOf(link);
  if (target.empty()) return false;
  return std::any_of(real_paths_.begin(), real_paths_.end(), [&](const std::string& start_text) {
    const std::wstring start = platform::WideFromUtf8(start_text);
    return IsWithin(target, start) || IsWithin(start, target);
  });
}

int ListSubfolders(const std::string& entry, const StartLine& line, std::vector<SubFolder>& subs) {
  if (!IsUsablePath(entry)) return kPathNotFound;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileExW(platform::WidePath(entry + "*").c_str(), FindExInfoBasic, &found,
                                   FindExSearchLimitToDirectories, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED) return kPermissionDenied;
    if (error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND || error == ERROR_DIRECTORY ||
        error == ERROR_INVALID_NAME) {
      return kPathNotFound;
    }
    return kOtherFailure;
  }
  int failure = 0;
  do {
    const wchar_t* raw = found.cFileName;
    if (raw[0] == L'.' && (raw[1] == L'\0' || (raw[1] == L'.' && raw[2] == L'\0'))) continue;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
    const std::string name = platform::Utf8FromWide(raw);
    const std::string path = entry + name;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && line.LeadsInto(path)) continue;
    try {
      subs.push_back({name, LookUpFolder(path)});
    } catch (const platform::Failure&) {
      // A link to nowhere, or a folder gone since it was listed.
    }
  } while (FindNextFileW(search, &found));
  if (GetLastError() != ERROR_NO_MORE_FILES) failure = kOtherFailure;
  FindClose(search);
  return failure;
}

}  // namespace intake::walk
