// PlaceTool and its folder on Windows.
#include <windows.h>

#include <algorithm>
#include <random>
#include <vector>

#include "conversion/tool_place.h"
#include "platform/error_report.h"
#include "platform/windows_text.h"

namespace conversion {

using platform::FailWithWindowsError;
using platform::WidePath;

namespace {

[[noreturn]] void Fail(const std::string& what) { throw platform::Failure(what); }

class UniqueHandle {
 public:
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() { Close(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Close() {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return handle == INVALID_HANDLE_VALUE || CloseHandle(handle) != 0;
  }

 private:
  HANDLE handle_;
};

bool ReadsAs(HANDLE file, std::span<const std::byte> image) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size) || static_cast<unsigned long long>(size.QuadPart) != image.size()) {
    return false;
  }
  std::vector<char> buffer(64 * 1024);
  size_t compared = 0;
  while (compared < image.size()) {
    DWORD got = 0;
    if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) || got == 0) {
      return false;
    }
    if (got > image.size() - compared) return false;
    if (memcmp(buffer.data(), image.data() + compared, got) != 0) return false;
    compared += got;
  }
  return true;
}

}  // namespace

void CheckPrivateFolder(const std::string& folder) {
  if (folder.empty() || folder.find('\0') != std::string::npos) Fail("No folder for the tool");
  const DWORD attributes = GetFileAttributesW(WidePath(folder).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) FailWithWindowsError("Cannot open folder " + folder, GetLastError());
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    Fail("Not a private folder: " + folder);
  }
}

std::string PrivateToolFolder() {
  wchar_t temp[MAX_PATH + 2];
  const DWORD n = GetTempPathW(MAX_PATH + 2, temp);
  if (n == 0 || n > MAX_PATH + 1) FailWithWindowsError("The temporary folder could not be found", GetLastError());
  const std::string folder = platform::Utf8FromWide(std::wstring(temp, n)) + "Mailvane";
  if (!CreateDirectoryW(WidePath(folder).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    FailWithWindowsError("Cannot create folder " + folder, GetLastError());
  }
  CheckPrivateFolder(folder);
  return folder;
}

std::string PlaceTool(std::span<const std::byte> image, const std::string& folder,
                      platform::EventPump& pump, const std::string& name) {
  pump.Yield();
  if (name.empty() || name.find_first_of("\\/:") != std::string::npos ||
      name.find('\0') != std::string::npos) {
    Fail("Invalid tool name");
  }
  CheckPrivateFolder(folder);
  const std::string base = folder.ends_with('\\') ? folder : folder + '\\';
  const std::string path = base + name;
  const std::wstring wide_path = WidePath(path);

  const DWORD attributes = GetFileAttributesW(wide_path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    Fail("A link stands in place of the tool: " + path);
  }
  {
    UniqueHandle existing(CreateFileW(wide_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (existing.valid() && ReadsAs(existing.get(), image)) return path;
  }

  // Write the image under a fresh name beside it, flush it, then rename it over
  // the tool's place.
  std::random_device random;
  std::string temp_path;
  HANDLE handle = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
    temp_path = base + "." + name + ".new-" + std::to_string(random()) + std::to_string(random());
    handle = CreateFileW(WidePath(temp_path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
      FailWithWindowsError("Cannot create the tool in " + folder, GetLastError());
    }
  }
  if (handle == INVALID_HANDLE_VALUE) FailWithWindowsError("Cannot create the tool in " + folder, ERROR_FILE_EXISTS);
  UniqueHandle out(handle);

  DWORD error = 0;
  size_t written = 0;
  while (error == 0 && written < image.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(image.size() - written, 1 << 20));
    DWORD done = 0;
    if (!WriteFile(out.get(), image.data() + written, chunk, &done, nullptr)) error = GetLastError();
    written += done;
  }
  if (error == 0 && !FlushFileBuffers(out.get())) error = GetLastError();
  // A program still open for writing cannot be started.
  if (!out.Close() && error == 0) error = GetLastError();
  const std::wstring wide_temp = WidePath(temp_path);
  if (error == 0 &&
      !MoveFileExW(wide_temp.c_str(), wide_path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = GetLastError();
  }
  if (error != 0) {
    DeleteFileW(wide_temp.c_str());
    FailWithWindowsError("Cannot write the tool to " + path, error);
  }
  return path;
}

}  // namespace conversion
