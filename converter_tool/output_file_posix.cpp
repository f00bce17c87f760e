// The POSIX side of OutputFile: open(O_EXCL), write, fsync, link or an exclusive
// rename, and signal handlers that remove the temporary file.
#include "converter_tool/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <signal.h>

#include <cerrno>
#include <cstring>

#include "converter_tool/rename_posix.h"
#include "converter_tool/system_error.h"

#ifdef __linux__
#include <sys/syscall.h>
#endif

namespace converter {

using formats::ErrorCode;
using formats::MakeError;
using formats::Result;
using formats::Status;

int RenameNoReplace(const char* from, const char* to) {
#if defined(__linux__) && defined(SYS_renameat2)
  constexpr unsigned kRenameNoReplace = 1;
  return static_cast<int>(syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, kRenameNoReplace));
#else
  (void)from;
  (void)to;
  errno = ENOSYS;
  return -1;
#endif
}

namespace {

// The temporary file of the OutputFile in progress, for the signal handler: a
// fixed buffer, since a handler may only call async-signal-safe functions.
char g_temp_path[4096];
volatile sig_atomic_t g_temp_active = 0;

void SetActiveTemp(const std::string& path) {
  g_temp_active = 0;
  if (path.size() >= sizeof g_temp_path) return;
  std::memcpy(g_temp_path, path.c_str(), path.size() + 1);
  g_temp_active = 1;
}

extern "C" void RemoveTempAndReraise(int sig) {
  if (g_temp_active) ::unlink(g_temp_path);
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

}  // namespace

void OutputFile::RemoveTemporaryFileOnSignals() {
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) ::signal(sig, RemoveTempAndReraise);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

OutputFile::OutputFile(std::string folder, std::string uuid, std::string temp_path, int fd)
    : folder_(std::move(folder)), uuid_(std::move(uuid)), temp_path_(std::move(temp_path)), fd_(fd) {}

Result<std::unique_ptr<OutputFile>> OutputFile::Create(const std::string& folder, const std::string& temp_name) {
  struct stat st {};
  if (stat(folder.c_str(), &st) != 0) {
    return SystemError("Output folder " + folder, errno);
  }
  if (!S_ISDIR(st.st_mode)) return MakeError(ErrorCode::kIo, 0, "Output folder " + folder + " is not a folder");
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::string uuid = NewUuid();
    std::string temp = JoinPath(folder, temp_name.empty() ? "." + uuid + ".tmp" : temp_name);
    // Signals wait while the file is created and recorded, so a handler never
    // finds a file of ours that it does not know about.
    sigset_t block, previous;
    sigemptyset(&block);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&block, sig);
    sigprocmask(SIG_BLOCK, &block, &previous);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    const int open_errno = errno;
    if (fd >= 0) SetActiveTemp(temp);
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    errno = open_errno;
    if (fd >= 0) {
      std::unique_ptr<OutputFile> out;
      try {
        out.reset(new OutputFile(folder, std::move(uuid), std::move(temp), fd));
      } catch (...) {
        // Out of memory before an object owns the file: remove it here (by the
        // recorded path, since `temp` may already be moved from).
        ::close(fd);
        if (g_temp_active) ::unlink(g_temp_path);
        g_temp_active = 0;
        throw;
      }
      out->buffer_.reserve(kBufferSize);  // if this throws, the destructor removes the file
      return out;
    }
    if (errno != EEXIST || !temp_name.empty()) {
      return SystemError("Cannot write to the output folder " + folder, errno);
    }
  }
  return MakeError(ErrorCode::kIo, 0, "Cannot find a free file name in " + folder);
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_) ::unlink(temp_path_.c_str());
  g_temp_active = 0;
}

Status OutputFile::Fail(const std::string& what, int error_number) {
  return SystemError(what + " " + temp_path_, error_number);
}

Status OutputFile::WriteAll(const char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd_, data + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Fail("Cannot write", errno);
    }
    done += static_cast<size_t>(n);
  }
  written_ += size;
#ifdef __linux__
  // Start writing a large message to disk while the rest is still being encoded,
  // so that the fsync in Commit waits for the last few megabytes only. A hint:
  // write errors still come back from fsync.
  if (written_ - writeback_from_ >= kWritebackStep) {
    ::sync_file_range(fd_, static_cast<off_t>(writeback_from_), static_cast<off_t>(written_ - writeback_from_),
                      SYNC_FILE_RANGE_WRITE);
    writeback_from_ = written_;
  }
#endif
  return {};
}

Status OutputFile::Finish(std::optional<int64_t> modified) {
  if (Status st = Flush(); !st) return st;
  if (modified) {
    const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(*modified), 0}};
    if (::futimens(fd_, times) != 0) return Fail("Cannot set the time of", errno);
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return Fail("Cannot write", errno);
  committed_ = true;
  g_temp_active = 0;
  return {};
}

Result<std::string> OutputFile::Commit() {
  if (Status st = Flush(); !st) return std::move(st).error();
  if (::fsync(fd_) != 0) return Fail("Cannot write", errno).error();
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return Fail("Cannot write", errno).error();

  for (int attempt = 0; attempt < 8; ++attempt) {
    if (attempt > 0) uuid_ = NewUuid();
    const std::string final_path = JoinPath(folder_, uuid_ + ".eml");
    int rc = ::link(temp_path_.c_str(), final_path.c_str());
    if (rc == 0) {
      committed_ = true;
      g_temp_active = 0;
      ::unlink(temp_path_.c_str());
    } else if (errno != EEXIST) {
      // File systems without hard links: an exclusive rename does the same.
      rc = RenameNoReplace(temp_path_.c_str(), final_path.c_str());
      if (rc != 0 && (errno == ENOSYS || errno == EINVAL)) {
        // Last resort: check, then rename. A file appearing in between would be
        // replaced; nothing else writes uuid names into the folder.
        struct stat st {};
        if (::lstat(final_path.c_str(), &st) == 0) {
          errno = EEXIST;
        } else {
          rc = ::rename(temp_path_.c_str(), final_path.c_str());
        }
      }
      if (rc == 0) {
        committed_ = true;
        g_temp_active = 0;
      }
    }
    // No fsync of the folder: the bytes are on disk before the name exists, so
    // after a power cut the name is either missing or names the whole message.
    // Syncing the folder as well cost a second journal commit per message, more
    // than the rest of a small conversion, and the caller moves the file anyway.
    if (rc == 0) return final_path;
    if (errno != EEXIST) return Fail("Cannot create the .eml from", errno).error();
  }
  return MakeError(ErrorCode::kIo, 0, "Cannot find a free file name in " + folder_);
}

}  // namespace converter
