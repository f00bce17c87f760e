// PlaceTool and its folder on POSIX systems.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/unique_fd_posix.h"
#include "conversion/tool_place.h"
#include "platform/error_report.h"

namespace conversion {

using platform::UniqueFd;
using platform::WriteAll;

using platform::FailWithErrno;

namespace {

constexpr mode_t kToolMode = 0700;

[[noreturn]] void Fail(const std::string& what) { throw platform::Failure(what); }

void CheckPrivateStat(const struct stat& info, const std::string& folder) {
  if (!S_ISDIR(info.st_mode)) Fail(std::string("Not a private folder: ") + folder);
  if (info.st_uid != ::geteuid()) Fail(std::string("Folder owned by another user: ") + folder);
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    Fail(std::string("Folder writable by others: ") + folder);
  }
}

// Opens the folder without following a link and checks it on the opened
// descriptor, so the folder checked is the folder used.
UniqueFd OpenPrivateFolder(const std::string& folder) {
  if (folder.empty() || folder.find('\0') != std::string::npos) Fail("No folder for the tool");
  UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (fd.get() < 0) FailWithErrno(std::string("Cannot open folder ") + folder, errno);
  struct stat info;
  if (::fstat(fd.get(), &info) != 0) {
    FailWithErrno(std::string("Cannot examine folder ") + folder, errno);
  }
  CheckPrivateStat(info, folder);
  return fd;
}

// Creates `folder` with mode 0700 (an existing one is kept) and checks it.
void MakePrivateFolder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    FailWithErrno(std::string("Cannot create folder ") + folder, errno);
  }
  (void)OpenPrivateFolder(folder);
}

bool ReadsAs(int fd, std::span<const std::byte> image) {
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  if (info.st_uid != ::geteuid()) return false;
  if (info.st_size != static_cast<off_t>(image.size())) return false;
  std::vector<char> buffer(64 * 1024);
  size_t compared = 0;
  while (compared < image.size()) {
    const ssize_t got = ::read(fd, buffer.data(), static_cast<size_t>(buffer.size()));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    if (static_cast<size_t>(got) > image.size() - compared) return false;
    if (std::memcmp(buffer.data(), image.data() + compared, static_cast<size_t>(got)) != 0) {
      return false;
    }
    compared += got;
  }
  char extra;
  return ::read(fd, &extra, 1) == 0;
}

}  // namespace

void CheckPrivateFolder(const std::string& folder) { (void)OpenPrivateFolder(folder); }

std::string PrivateToolFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string base = runtime != nullptr ? runtime : "";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  if (!base.empty()) {
    CheckPrivateFolder(base);
    const std::string folder = base + "/mailvane";
    MakePrivateFolder(folder);
    return folder;
  }
  // The temporary folder is shared by everyone; the user id in the name keeps
  // users apart, and the checks refuse a folder someone else prepared.
  const char* tmp = std::getenv("TMPDIR");
  std::string temp = tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp";
  while (temp.size() > 1 && temp.back() == '/') temp.pop_back();
  const std::string folder = temp + "/mailvane-" + std::to_string(::geteuid());
  MakePrivateFolder(folder);
  return folder;
}

std::string PlaceTool(std::span<const std::byte> image, const std::string& folder,
                      platform::EventPump& pump, const std::string& name) {
  pump.Yield();
  if (name.empty() || name.find('/') != std::string::npos || name.find('\0') != std::string::npos) {
    Fail("Invalid tool name");
  }
  const UniqueFd dir = OpenPrivateFolder(folder);
  const std::string path = folder + '/' + name;
  const char* native_name = name.c_str();

  UniqueFd existing(::openat(dir.get(), native_name,
                       O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (existing.get() < 0) {
    if (errno == ELOOP) Fail(std::string("A link stands in place of the tool: ") + path);
    if (errno != ENOENT) {
      // Unreadable or odd (a fifo, a socket): it is replaced below, but a
      // link must not slip through as "something else".
      struct stat info;
      if (::fstatat(dir.get(), native_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
          S_ISLNK(info.st_mode)) {
        Fail(std::string("A link stands in place of the tool: ") + path);
      }
    }
  } else if (ReadsAs(existing.get(), image)) {
    // A leftover of an earlier run with the same bytes: keep it, but make
    // sure only the user can run or change it.
    struct stat info;
    if (::fstat(existing.get(), &info) == 0 && (info.st_mode & 07777) != kToolMode) {
      if (::fchmod(existing.get(), kToolMode) != 0) {
        FailWithErrno(std::string("Cannot set the mode of ") + path, errno);
      }
    }
    return path;
  }
  existing.Reset();

  // Write the image under a fresh name beside it, flush it, then rename it over
  // the tool's place: whoever looks sees either the old file or the whole new one.
  std::string temp_name;
  UniqueFd out;
  std::random_device random;
  for (int attempt = 0; attempt < 100 && out.get() < 0; ++attempt) {
    temp_name = "." + name + ".new-" + std::to_string(random()) + std::to_string(random());
    out.Reset(::openat(dir.get(), temp_name.c_str(),
                       O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kToolMode));
    if (out.get() < 0 && errno != EEXIST) {
      FailWithErrno(std::string("Cannot create the tool in ") + folder, errno);
    }
  }
  if (out.get() < 0) FailWithErrno(std::string("Cannot create the tool in ") + folder, EEXIST);

  int error = 0;
  if (!WriteAll(out.get(), reinterpret_cast<const char*>(image.data()), image.size())) error = errno;
  // The umask may have narrowed the mode; the tool must be runnable by its user.
  if (error == 0 && ::fchmod(out.get(), kToolMode) != 0) error = errno;
  if (error == 0 && ::fsync(out.get()) != 0) error = errno;
  // A program still open for writing cannot be started ("text file busy").
  if (!out.Close() && error == 0) error = errno;
  if (error == 0 && ::renameat(dir.get(), temp_name.c_str(), dir.get(),
                               native_name) != 0) {
    error = errno;
  }
  if (error != 0) {
    ::unlinkat(dir.get(), temp_name.c_str(), 0);
    FailWithErrno(std::string("Cannot write the tool to ") + path, error);
  }
  return path;
}

}  // namespace conversion
