#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "platform/unique_fd_posix.h"
#include "conversion/result_files.h"
#include "platform/error_report.h"
#include "platform/path_helpers.h"

namespace conversion {

using platform::UniqueFd;
using platform::WriteAll;

using platform::FailWithErrno;

namespace {

bool Usable(const std::string& path) { return !path.empty() && path.find('\0') == std::string::npos; }

bool CopyAll(int from, int to) {
  std::vector<char> buffer(256 * 1024);
  for (;;) {
    const ssize_t got = ::read(from, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    if (!WriteAll(to, buffer.data(), static_cast<size_t>(got))) return false;
  }
}

// The move across file systems: a complete, flushed copy replaces the target in
// one rename; only then is the source removed.
void CopyAcrossFileSystems(const std::string& from, const std::string& to) {
  UniqueFd in(::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (in.get() < 0) FailWithErrno("Cannot read the result", errno);
  struct stat info;
  if (::fstat(in.get(), &info) != 0) FailWithErrno("Cannot read the result", errno);
  if (!S_ISREG(info.st_mode)) FailWithErrno("The result is not a file", EINVAL);

  std::string folder = platform::FolderOf(to);
  if (folder.empty()) folder = "./";
  std::string temp;
  UniqueFd out;
  std::random_device random;
  for (int attempt = 0; attempt < 100 && out.get() < 0; ++attempt) {
    temp = folder + ".mailvane-" + std::to_string(random()) + std::to_string(random()) + ".part";
    out.Reset(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (out.get() < 0 && errno != EEXIST) FailWithErrno("Cannot write to " + folder, errno);
  }
  if (out.get() < 0) FailWithErrno("Cannot write to " + folder, EEXIST);

  int error = 0;
  if (!CopyAll(in.get(), out.get())) error = errno;
  if (error == 0 && ::fchmod(out.get(), info.st_mode & 0777) != 0) error = errno;
  if (error == 0 && ::fsync(out.get()) != 0) error = errno;
  if (!out.Close() && error == 0) error = errno;
  if (error == 0 && ::rename(temp.c_str(), to.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    FailWithErrno("Cannot move the result to " + to, error);
  }
  // The result is in place; a copy that cannot be removed from the working
  // folder is only a leftover.
  ::unlink(from.c_str());
}

// Gives `from` the name `to` unless something is there already.
bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without that flag: a second name, then the first one goes.
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  ::unlink(from.c_str());
  return true;
}

}  // namespace

std::unordered_set<std::string> FolderEntries(const std::string& folder) {
  std::unordered_set<std::string> names;
  if (!Usable(folder)) return names;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir)) names.insert(entry->d_name);
  ::closedir(dir);
  return names;
}

void MoveResultInPlace(const std::string& from, const std::string& to) {
  if (!Usable(from) || !Usable(to)) FailWithErrno("Cannot move the result to " + to, ENOENT);
  // rename replaces the target in one step: until the new file is in place the
  // old one stays, so a failed move loses nothing.
  if (::rename(from.c_str(), to.c_str()) == 0) return;
  if (errno != EXDEV) FailWithErrno("Cannot move the result to " + to, errno);
  CopyAcrossFileSystems(from, to);
}

std::string KeepResultAfterFailedMove(const std::string& result, const std::string& kept) {
  if (RenameWithoutReplacing(result, kept)) return "The result is kept as " + kept + ".";
  const int error = errno;
  if (::unlink(result.c_str()) != 0 && errno != ENOENT) return "The result is left as " + result + ".";
  if (error == EEXIST) return "The result was not kept: " + kept + " is already there.";
  return "The result was not kept.";
}

}  // namespace conversion
