#include "converter_tool/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#ifdef __linux__
#include <sys/syscall.h>
#endif

namespace converter {

using formats::ErrorCode;
using formats::MakeError;
using formats::Result;
using formats::Status;

namespace {

// rename() that fails with EEXIST instead of replacing. Linux has it as
// renameat2(RENAME_NOREPLACE); elsewhere returns ENOSYS.
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

}  // namespace

std::string NewUuid() {
  std::random_device rd;
  uint8_t b[16];
  for (int i = 0; i < 16; i += 4) {
    const uint32_t v = rd();
    std::memcpy(b + i, &v, 4);
  }
  b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40);  // version 4
  b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
  char text[37];
  std::snprintf(text, sizeof text, "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[0], b[1],
                b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return text;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

OutputFile::OutputFile(std::string folder, std::string uuid, std::string temp_path, int fd)
    : folder_(std::move(folder)), uuid_(std::move(uuid)), temp_path_(std::move(temp_path)), fd_(fd) {
  buffer_.reserve(kBufferSize);
}

Result<std::unique_ptr<OutputFile>> OutputFile::Create(const std::string& folder) {
  struct stat st {};
  if (stat(folder.c_str(), &st) != 0) {
    return MakeError(ErrorCode::kIo, 0, "Output folder " + folder + ": " + std::strerror(errno));
  }
  if (!S_ISDIR(st.st_mode)) return MakeError(ErrorCode::kIo, 0, "Output folder " + folder + " is not a folder");
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::string uuid = NewUuid();
    std::string temp = JoinPath(folder, "." + uuid + ".tmp");
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      return std::unique_ptr<OutputFile>(new OutputFile(folder, std::move(uuid), std::move(temp), fd));
    }
    if (errno != EEXIST) {
      return MakeError(ErrorCode::kIo, 0, "Cannot write to the output folder " + folder + ": " + std::strerror(errno));
    }
  }
  return MakeError(ErrorCode::kIo, 0, "Cannot find a free file name in " + folder);
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_) ::unlink(temp_path_.c_str());
}

Status OutputFile::Fail(const std::string& what, int error_number) {
  return MakeError(ErrorCode::kIo, 0, what + " " + temp_path_ + ": " + std::strerror(error_number));
}

Status OutputFile::Flush() {
  size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Fail("Cannot write", errno);
    }
    done += static_cast<size_t>(n);
  }
  buffer_.clear();
  return {};
}

Status OutputFile::Write(std::string_view bytes) {
  if (buffer_.size() + bytes.size() > kBufferSize) {
    if (Status st = Flush(); !st) return st;
  }
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  if (buffer_.size() >= kBufferSize) return Flush();
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
      if (rc == 0) committed_ = true;
    }
    if (rc == 0) {
      // Make the new name durable too.
      const int dir = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
      }
      return final_path;
    }
    if (errno != EEXIST) return Fail("Cannot create the .eml from", errno).error();
  }
  return MakeError(ErrorCode::kIo, 0, "Cannot find a free file name in " + folder_);
}

}  // namespace converter
