// The archive converter's system calls on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "archive_converter/system.h"
#include "converter_tool/rename_posix.h"
#include "platform/unique_fd_posix.h"

namespace archive_converter {

using converter::RenameNoReplace;

Entry Inspect(const std::string& path) {
  Entry entry;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    entry.error = errno;
    return entry;
  }
  entry.kind = S_ISREG(st.st_mode) ? EntryKind::kFile : S_ISDIR(st.st_mode) ? EntryKind::kFolder : EntryKind::kOther;
  entry.id = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  entry.size = static_cast<uint64_t>(st.st_size);
  return entry;
}

std::vector<std::string> ListFolder(const std::string& path, int& error) {
  std::vector<std::string> names;
  error = 0;
  DIR* dir = ::opendir(path.c_str());
  if (dir == nullptr) {
    error = errno;
    return names;
  }
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  if (errno != 0) error = errno;
  ::closedir(dir);
  return names;
}

std::string AbsolutePath(const std::string& path) {
  std::string joined = path;
  if (path.empty() || path[0] != '/') {
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd) != nullptr) joined = std::string(cwd) + "/" + path;
  }
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= joined.size()) {
    size_t end = joined.find('/', start);
    if (end == std::string::npos) end = joined.size();
    const std::string part = joined.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result;
  for (const std::string& part : parts) result += "/" + part;
  return result.empty() ? "/" : result;
}

std::string CanonicalPath(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return "";
  std::string text = resolved;
  std::free(resolved);
  return text;
}

int MakeFolders(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
  }
  if (errno != ENOENT) return errno;
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return ENOENT;
  if (const int error = MakeFolders(path.substr(0, slash)); error != 0) return error;
  return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST ? 0 : errno;
}

int PlaceFile(const std::string& temp, const std::string& target, bool replace, bool& temp_kept) {
  temp_kept = false;
  if (replace) return ::rename(temp.c_str(), target.c_str()) == 0 ? 0 : errno;
  // A second name first: until the report records the result, the temporary
  // name tells an interrupted run's successor which result is unrecorded.
  if (::link(temp.c_str(), target.c_str()) == 0) {
    temp_kept = true;
    return 0;
  }
  if (errno == EEXIST) return EEXIST;
  // File systems without hard links: an exclusive rename.
  return RenameNoReplace(temp.c_str(), target.c_str()) == 0 ? 0 : errno;
}

int RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0 ? 0 : errno; }

uint32_t LinkCount(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? static_cast<uint32_t>(st.st_nlink) : 0;
}

int SyncFolderFileSystem(const std::string& folder) {
  platform::UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() < 0) return errno;
#ifdef __linux__
  return ::syncfs(fd.get()) == 0 ? 0 : errno;
#else
  ::sync();
  return 0;
#endif
}

int SyncPath(const std::string& path) {
  platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return errno;
  return ::fsync(fd.get()) == 0 ? 0 : errno;
}

LockedFile::~LockedFile() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

int LockedFile::Open(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    return error;
  }
  handle_ = fd;
  return 0;
}

std::string LockedFile::ReadAll() {
  std::string bytes;
  char buffer[65536];
  off_t offset = 0;
  ssize_t got;
  while ((got = ::pread(static_cast<int>(handle_), buffer, sizeof buffer, offset)) > 0) {
    bytes.append(buffer, static_cast<size_t>(got));
    offset += got;
  }
  return bytes;
}

int LockedFile::Truncate(uint64_t size) {
  return ::ftruncate(static_cast<int>(handle_), static_cast<off_t>(size)) == 0 ? 0 : errno;
}

int LockedFile::Append(const std::string& bytes) {
  return platform::WriteAll(static_cast<int>(handle_), bytes.data(), bytes.size()) ? 0 : errno;
}

int LockedFile::Sync() { return ::fdatasync(static_cast<int>(handle_)) == 0 ? 0 : errno; }

std::vector<std::string> StartUp(int argc, char** argv) { return {argv + std::min(argc, 1), argv + argc}; }

std::string ThisProgram() {
#ifdef __linux__
  char path[PATH_MAX];
  const ssize_t size = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (size > 0) return std::string(path, static_cast<size_t>(size));
#endif
  return "mailvane-convert";
}

bool ErrorIsTerminal() { return ::isatty(2) == 1; }

void BinaryStandardStreams() {}

void CapMemory(uint64_t extra) {
#if defined(__SANITIZE_ADDRESS__)
  (void)extra;  // the sanitizer reserves far more address space than it uses
#else
  // The size without a message is taken once, at the first call; each call
  // then costs one system call.
  static const uint64_t base = [] {
    unsigned long pages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(statm, "%lu", &pages) != 1) pages = 0;
      std::fclose(statm);
    }
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
  }();
  static rlimit limit{};
  static const bool known = ::getrlimit(RLIMIT_AS, &limit) == 0;
  if (base == 0 || !known) return;
  rlim_t wanted = static_cast<rlim_t>(base + extra);
  if (limit.rlim_max != RLIM_INFINITY && wanted > limit.rlim_max) wanted = limit.rlim_max;
  rlimit now = limit;
  now.rlim_cur = wanted;
  ::setrlimit(RLIMIT_AS, &now);
#endif
}

std::string ErrorText(int error) { return std::strerror(error); }

}  // namespace archive_converter
