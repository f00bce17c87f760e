// The archive converter's system calls on Windows. Paths are UTF-8 with '/' (or
// '\') between names; each call gets them in UTF-16 in the extended-length form,
// so that trees deeper than 260 characters work. Errors are GetLastError codes,
// except that a name already taken is EEXIST and a report held by another run
// is EWOULDBLOCK, as the run compares them (a system code that happens to equal
// one of those two is kept apart by the customer bit, which no system code sets).
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive_converter/system.h"
#include "converter_tool/windows_text.h"
#include "platform/windows_text.h"

namespace archive_converter {

namespace {

constexpr int kCustomerBit = 1 << 29;

int ErrorFrom(DWORD error) {
  if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return EEXIST;
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return EWOULDBLOCK;
  const int code = static_cast<int>(error);
  return code == EEXIST || code == EWOULDBLOCK ? code | kCustomerBit : code;
}

int LastError() { return ErrorFrom(GetLastError()); }

// "C:" is the drive's root here: paths are absolute, and a folder name is
// joined to it with a separator.
std::wstring Wide(const std::string& path) {
  if (path.size() == 2 && path[1] == ':') return platform::WidePath(path + "\\");
  return platform::WidePath(path);
}

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (valid()) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

// Opens what `path` names, links followed, without reading it: a folder too.
HANDLE OpenForInfo(const std::string& path) {
  return CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

Entry Inspect(const std::string& path) {
  Entry entry;
  Handle file(OpenForInfo(path));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file.valid() || !GetFileInformationByHandle(file.get(), &info)) {
    entry.error = LastError();
    return entry;
  }
  const bool folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  // A pipe, a console or a device opens too; only a file on a disk is a file.
  const bool disk = GetFileType(file.get()) == FILE_TYPE_DISK;
  entry.kind = folder ? EntryKind::kFolder : disk ? EntryKind::kFile : EntryKind::kOther;
  entry.id = {info.dwVolumeSerialNumber, (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
  entry.size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  return entry;
}

std::vector<std::string> ListFolder(const std::string& path, int& error) {
  std::vector<std::string> names;
  error = 0;
  std::wstring pattern = Wide(path);
  if (!pattern.ends_with(L'\\')) pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) {
    // An empty drive root lists not even "." and "..": nothing found there is
    // no failure.
    if (GetLastError() != ERROR_FILE_NOT_FOUND) error = LastError();
    return names;
  }
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(platform::Utf8FromWide(name));
  } while (FindNextFileW(search, &found));
  if (GetLastError() != ERROR_NO_MORE_FILES) error = LastError();
  FindClose(search);
  return names;
}

std::string AbsolutePath(const std::string& path) {
  // The extended form resolves the path as the system would; the usual form is
  // what people read in the report. Names are joined with '/' by the run, so
  // the whole path takes '/' too: one separator to split on, which every file
  // call takes.
  std::string extended = platform::Utf8FromWide(platform::WidePath(path));
  if (extended.starts_with("\\\\?\\UNC\\")) {
    extended.replace(0, 8, "\\\\");
  } else if (extended.starts_with("\\\\?\\")) {
    extended.erase(0, 4);
  }
  for (char& c : extended) {
    if (c == '\\') c = '/';
  }
  // No trailing separator but on a root ("C:/").
  while (extended.size() > 3 && extended.back() == '/') extended.pop_back();
  return extended;
}

std::string CanonicalPath(const std::string& path) {
  Handle file(OpenForInfo(path));
  if (!file.valid()) return "";
  std::wstring real(MAX_PATH, L'\0');
  DWORD n = GetFinalPathNameByHandleW(file.get(), real.data(), static_cast<DWORD>(real.size()), 0);
  if (n >= real.size()) {
    real.resize(n + 1);
    n = GetFinalPathNameByHandleW(file.get(), real.data(), static_cast<DWORD>(real.size()), 0);
  }
  if (n == 0 || n >= real.size()) return "";
  real.resize(n);
  return platform::Utf8FromWide(real);
}

int MakeFolders(const std::string& path) {
  const std::wstring wide = Wide(path);
  if (CreateDirectoryW(wide.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) {
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
               ? 0
               : ErrorFrom(ERROR_DIRECTORY);
  }
  const DWORD error = GetLastError();
  if (error != ERROR_PATH_NOT_FOUND) return ErrorFrom(error);
  const size_t separator = path.find_last_of("\\/");
  if (separator == std::string::npos || separator == 0) return ErrorFrom(error);
  if (const int parent = MakeFolders(path.substr(0, separator)); parent != 0) return parent;
  return CreateDirectoryW(wide.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS ? 0 : LastError();
}

int PlaceFile(const std::string& temp, const std::string& target, bool replace, bool& temp_kept) {
  temp_kept = false;
  // Without MOVEFILE_REPLACE_EXISTING the move fails on a name that is taken,
  // even when another run takes it at the same moment. Write-through: the new
  // name is on the disk when the call returns.
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  return MoveFileExW(Wide(temp).c_str(), Wide(target).c_str(), flags) ? 0 : LastError();
}

int RemoveFile(const std::string& path) { return DeleteFileW(Wide(path).c_str()) ? 0 : LastError(); }

uint32_t LinkCount(const std::string& path) {
  Handle file(CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  return file.valid() && GetFileInformationByHandle(file.get(), &info) ? info.nNumberOfLinks : 0;
}

// A user may not flush a whole volume. Each result is flushed by the worker
// before it is closed, and placed with a write-through move, so the batch has
// nothing left to make durable.
int SyncFolderFileSystem(const std::string&) { return 0; }
// The same holds for one result and for one folder's names.
int SyncPath(const std::string&) { return 0; }

LockedFile::~LockedFile() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

int LockedFile::Open(const std::string& path) {
  // Not shared for writing: a second run cannot open it while this one holds
  // it (ERROR_SHARING_VIOLATION). Shared for deleting, so that the run removes
  // its journal before letting go of it.
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastError();
  handle_ = reinterpret_cast<intptr_t>(file);
  return 0;
}

std::string LockedFile::ReadAll() {
  std::string bytes;
  char buffer[65536];
  uint64_t offset = 0;
  for (;;) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, sizeof buffer, &got, &at) || got == 0) break;
    bytes.append(buffer, got);
    offset += got;
  }
  return bytes;
}

int LockedFile::Truncate(uint64_t size) {
  HANDLE file = reinterpret_cast<HANDLE>(handle_);
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(size);
  return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) && SetEndOfFile(file) ? 0 : LastError();
}

int LockedFile::Append(const std::string& bytes) {
  HANDLE file = reinterpret_cast<HANDLE>(handle_);
  LARGE_INTEGER none{};
  if (!SetFilePointerEx(file, none, nullptr, FILE_END)) return LastError();
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD step = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, step, &written, nullptr)) return LastError();
    done += written;
  }
  return 0;
}

int LockedFile::Sync() { return FlushFileBuffers(reinterpret_cast<HANDLE>(handle_)) ? 0 : LastError(); }

std::vector<std::string> StartUp(int, char**) {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide != nullptr) {
    for (int i = 1; i < count; ++i) arguments.push_back(platform::Utf8FromWide(wide[i]));
    LocalFree(wide);
  }
  static const UINT console_page = GetConsoleOutputCP();
  if (console_page != 0 && console_page != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
    std::atexit([] { SetConsoleOutputCP(console_page); });
  }
  return arguments;
}

std::string ThisProgram() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return "mailvane-convert.exe";
    if (length < path.size()) {
      path.resize(length);
      return platform::Utf8FromWide(path);
    }
    path.resize(path.size() * 2);
  }
}

bool ErrorIsTerminal() {
  // The progress line rewrites itself with an escape sequence, which a console
  // follows once it is asked to.
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (err == nullptr || err == INVALID_HANDLE_VALUE || !GetConsoleMode(err, &mode)) return false;
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
         SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

void BinaryStandardStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

void CapMemory(uint64_t extra) {
  // A job of its own caps the memory this process commits: made once, with the
  // size without a message taken then, and its limit moved for each file.
  // Where a job cannot be had, no cap.
  struct Job {
    HANDLE handle = nullptr;
    uint64_t base = 0;
  };
  static const Job job = [] {
    Job made;
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return made;
    made.base = counters.PagefileUsage;
    made.handle = CreateJobObjectW(nullptr, nullptr);
    if (made.handle != nullptr && !AssignProcessToJobObject(made.handle, GetCurrentProcess())) {
      CloseHandle(made.handle);
      made.handle = nullptr;
    }
    return made;
  }();
  if (job.handle == nullptr) return;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limit{};
  limit.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_PROCESS_MEMORY;
  limit.ProcessMemoryLimit = static_cast<SIZE_T>(job.base + extra);
  SetInformationJobObject(job.handle, JobObjectExtendedLimitInformation, &limit, sizeof limit);
}

std::string ErrorText(int error) {
  DWORD code = static_cast<DWORD>(error & ~kCustomerBit);
  if (error == EEXIST) code = ERROR_FILE_EXISTS;
  if (error == EWOULDBLOCK) code = ERROR_SHARING_VIOLATION;
  return converter::WindowsErrorText(code);
}

}  // namespace archive_converter
