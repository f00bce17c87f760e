// The Windows side of OutputFile: CreateFileW(CREATE_NEW) on extended-length paths,
// WriteFile, FlushFileBuffers, MoveFileExW without replacing, and a console
// control handler that removes the temporary file.
#include <windows.h>

#include <algorithm>
#include <cwchar>

#include "converter_tool/output_file.h"
#include "converter_tool/windows_text.h"

namespace converter {

namespace {

// The temporary file of the OutputFile in progress, for the control handler,
// which Windows runs on a thread of its own. The lock keeps the handler and the
// converting thread from acting on the file at the same time; the handler never
// gives it back, so once it has removed the file no .eml can appear.
SRWLOCK g_lock = SRWLOCK_INIT;
wchar_t g_temp_path[32768];
bool g_temp_active = false;

void SetActiveTemp(const std::wstring& path) {
  g_temp_active = false;
  if (path.size() >= sizeof g_temp_path / sizeof g_temp_path[0]) return;
  std::wmemcpy(g_temp_path, path.c_str(), path.size() + 1);
  g_temp_active = true;
}

BOOL WINAPI RemoveTempOnControl(DWORD) {
  AcquireSRWLockExclusive(&g_lock);
  // The file is open with FILE_SHARE_DELETE: it goes when the process ends.
  if (g_temp_active) DeleteFileW(g_temp_path);
  return FALSE;  // and on to the default handler, which ends the process
}

class Locked {
 public:
  Locked() { AcquireSRWLockExclusive(&g_lock); }
  ~Locked() { ReleaseSRWLockExclusive(&g_lock); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
};

bool IsTaken(DWORD error) { return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS; }

}  // namespace

void OutputFile::RemoveTemporaryFileOnSignals() { SetConsoleCtrlHandler(RemoveTempOnControl, TRUE); }

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '\\' || folder.back() == '/') return folder + name;
  return folder + "\\" + name;
}

OutputFile::OutputFile(std::string folder, std::string uuid, std::string temp_path, FileHandle fd)
    : folder_(std::move(folder)), uuid_(std::move(uuid)), temp_path_(std::move(temp_path)), fd_(fd) {}

formats::Result<std::unique_ptr<OutputFile>> OutputFile::Create(const std::string& folder,
                                                               const std::string& temp_name) {
  // Repeated backslashes inside the folder (C:\\Mail Out\ as the window passes
  // C:\Mail Out\) are one separator to Windows.
  const DWORD attributes = GetFileAttributesW(WidePath(folder).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return WindowsError("Output folder " + folder, GetLastError());
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return formats::MakeError(formats::ErrorCode::kIo, 0, "Output folder " + folder + " is not a folder");
  }
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::string uuid = NewUuid();
    std::string temp = JoinPath(folder, temp_name.empty() ? "." + uuid + ".tmp" : temp_name);
    const std::wstring wide_temp = WidePath(temp);
    HANDLE file;
    DWORD error;
    {
      Locked lock;  // the handler never finds a file of ours it does not know about
      file = CreateFileW(wide_temp.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
      error = GetLastError();
      if (file != INVALID_HANDLE_VALUE) SetActiveTemp(wide_temp);
    }
    if (file != INVALID_HANDLE_VALUE) {
      std::unique_ptr<OutputFile> out;
      try {
        out.reset(new OutputFile(folder, std::move(uuid), std::move(temp), file));
      } catch (...) {
        CloseHandle(file);
        Locked lock;
        DeleteFileW(wide_temp.c_str());
        g_temp_active = false;
        throw;
      }
      out->buffer_.reserve(kBufferSize);  // if this throws, the destructor removes the file
      return out;
    }
    if (!IsTaken(error) || !temp_name.empty()) return WindowsError("Cannot write to the output folder " + folder, error);
  }
  return formats::MakeError(formats::ErrorCode::kIo, 0, "Cannot find a free file name in " + folder);
}

OutputFile::~OutputFile() {
  if (fd_ != nullptr) CloseHandle(fd_);
  Locked lock;
  if (!committed_) DeleteFileW(WidePath(temp_path_).c_str());
  g_temp_active = false;
}

formats::Status OutputFile::Fail(const std::string& what, int error_number) {
  return WindowsError(what + " " + temp_path_, static_cast<unsigned long>(error_number));
}

formats::Status OutputFile::WriteAll(const char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const DWORD step = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
    DWORD n = 0;
    if (!WriteFile(fd_, data + done, step, &n, nullptr)) return Fail("Cannot write", static_cast<int>(GetLastError()));
    done += n;
  }
  written_ += size;
  return {};
}

formats::Status OutputFile::Finish(std::optional<int64_t> modified) {
  if (formats::Status st = Flush(); !st) return st;
  if (modified) {
    // FILETIME: 100 ns ticks since 1601-01-01.
    const uint64_t ticks = static_cast<uint64_t>(*modified + 11644473600LL) * 10000000ULL;
    FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    if (!SetFileTime(fd_, nullptr, nullptr, &time)) return Fail("Cannot set the time of", static_cast<int>(GetLastError()));
  }
  // A user cannot flush a whole volume as the caller does on POSIX systems:
  // each file is made durable here.
  if (!FlushFileBuffers(fd_)) return Fail("Cannot write", static_cast<int>(GetLastError()));
  HANDLE file = fd_;
  fd_ = nullptr;
  if (!CloseHandle(file)) return Fail("Cannot write", static_cast<int>(GetLastError()));
  committed_ = true;
  Locked lock;
  g_temp_active = false;
  return {};
}

formats::Result<std::string> OutputFile::Commit() {
  if (formats::Status st = Flush(); !st) return std::move(st).error();
  if (!FlushFileBuffers(fd_)) return Fail("Cannot write", static_cast<int>(GetLastError())).error();
  HANDLE file = fd_;
  fd_ = nullptr;
  if (!CloseHandle(file)) return Fail("Cannot write", static_cast<int>(GetLastError())).error();

  const std::wstring wide_temp = WidePath(temp_path_);
  for (int attempt = 0; attempt < 8; ++attempt) {
    if (attempt > 0) uuid_ = NewUuid();
    const std::string final_path = JoinPath(folder_, uuid_ + ".eml");
    DWORD error = 0;
    {
      Locked lock;
      // Without MOVEFILE_REPLACE_EXISTING the move fails on a name that is taken.
      if (MoveFileExW(wide_temp.c_str(), WidePath(final_path).c_str(), MOVEFILE_WRITE_THROUGH)) {
        committed_ = true;
        g_temp_active = false;
      } else {
        error = GetLastError();
      }
    }
    if (committed_) return final_path;
    if (!IsTaken(error)) return Fail("Cannot create the .eml from", static_cast<int>(error)).error();
  }
  return formats::MakeError(formats::ErrorCode::kIo, 0, "Cannot find a free file name in " + folder_);
}

}  // namespace converter
