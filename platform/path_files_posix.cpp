// The file-system procedures of path_helpers.h on POSIX systems. Paths reach
// the file system as their UTF-8 bytes.
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/error_report.h"
#include "platform/path_helpers.h"

namespace platform {

namespace {

// A name with an embedded NUL would be cut short by the C library and name a
// different file; such a name names nothing.
bool Usable(const std::string& path) {
  return !path.empty() && path.find('\0') == std::string::npos;
}

bool StatPath(const std::string& path, struct stat* info) {
  return Usable(path) && ::stat(path.c_str(), info) == 0;
}

}  // namespace

bool PathExists(const std::string& path) {
  struct stat info;
  return StatPath(path, &info);
}

bool IsFolder(const std::string& path) {
  struct stat info;
  return StatPath(path, &info) && S_ISDIR(info.st_mode);
}

void RemoveFile(const std::string& path, EventPump& pump) {
  pump.Yield();
  if (!Usable(path)) return;
  if (::unlink(path.c_str()) == 0) return;
  try {
    ForceDeleteFile(path);
  } catch (const Failure&) {
    // Deliberately quiet: callers learn about a file that stayed from what
    // happens next (a move onto it fails, a leftover tool file is reused).
  }
}

void ForceDeleteFile(const std::string& path) {
  if (!Usable(path)) FailWithErrno({}, ENOENT);
  // Make a read-only file writable first. The file is opened without following
  // a link, so the mode of whatever a link points to is never changed.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    struct stat info;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & S_IWUSR) == 0) {
      (void)::fchmod(fd, (info.st_mode & 07777) | S_IWUSR);
    }
    ::close(fd);
  }
  if (::unlink(path.c_str()) != 0) FailWithErrno({}, errno);
}

}  // namespace platform
