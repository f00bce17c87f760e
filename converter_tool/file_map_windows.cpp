// The input file mapped on Windows: CreateFileW on the wide path, then a
// read-only view of the whole file.
#include <windows.h>

#include "converter_tool/file_map.h"
#include "converter_tool/windows_text.h"

namespace converter {

using formats::ErrorCode;
using formats::MakeError;

FileMap::~FileMap() {
  if (mapped_) UnmapViewOfFile(data_);
}

formats::Status FileMap::Open(const std::string& path, uint64_t max_bytes) {
  // Others may read, write or delete the file meanwhile, as on POSIX; the view
  // keeps what it maps. Backup semantics open a folder too, to say what it is.
  HANDLE file = CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return WindowsError("Cannot open " + path, GetLastError());
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    CloseHandle(file);
    return MakeError(ErrorCode::kIo, 0, "Cannot open " + path + ": not a regular file");
  }
  const uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  if (size > max_bytes) {
    CloseHandle(file);
    return MakeError(ErrorCode::kLimitExceeded, 0, path + " is larger than " + std::to_string(max_bytes) + " bytes");
  }
  if (size == 0) {  // nothing to map (Windows refuses an empty mapping)
    CloseHandle(file);
    return {};
  }
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  const DWORD mapping_error = GetLastError();
  CloseHandle(file);  // the mapping keeps the file open
  if (mapping == nullptr) return WindowsError("Cannot map " + path, mapping_error);
  void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  const DWORD view_error = GetLastError();
  CloseHandle(mapping);  // and the view the mapping
  if (view == nullptr) return WindowsError("Cannot map " + path, view_error);
  data_ = static_cast<const uint8_t*>(view);
  size_ = static_cast<size_t>(size);
  mapped_ = true;
  return {};
}

}  // namespace converter
