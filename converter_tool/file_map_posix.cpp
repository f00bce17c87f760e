#include "converter_tool/file_map.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "converter_tool/system_error.h"

namespace converter {

using formats::ErrorCode;
using formats::MakeError;

FileMap::~FileMap() {
  if (mapped_) munmap(const_cast<uint8_t*>(data_), size_);
}

formats::Status FileMap::Open(const std::string& path, uint64_t max_bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return SystemError("Cannot open " + path, errno);
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return MakeError(ErrorCode::kIo, 0, "Cannot open " + path + ": not a regular file");
  }
  if (static_cast<uint64_t>(st.st_size) > max_bytes) {
    ::close(fd);
    return MakeError(ErrorCode::kLimitExceeded, 0, path + " is larger than " + std::to_string(max_bytes) + " bytes");
  }
  size_ = static_cast<size_t>(st.st_size);
  if (size_ == 0) {
    ::close(fd);
    return {};
  }
  void* p = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
  const int map_errno = errno;
  ::close(fd);  // the mapping keeps the file open
  if (p == MAP_FAILED) {
    size_ = 0;
    return SystemError("Cannot map " + path, map_errno);
  }
  // The reader jumps between sectors, but attachments stream front to back.
  madvise(p, size_, MADV_WILLNEED);
  data_ = static_cast<const uint8_t*>(p);
  mapped_ = true;
  return {};
}

}  // namespace converter
