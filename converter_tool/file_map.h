// The input file as read-only bytes. On POSIX and Windows the file is mapped, so
// a large attachment costs page cache, not heap; elsewhere it is read into memory.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/common/result.h"

namespace converter {

class FileMap {
 public:
  FileMap() = default;
  FileMap(const FileMap&) = delete;
  FileMap& operator=(const FileMap&) = delete;
  ~FileMap();

  // Maps `path`. Errors: kIo (cannot open, not a regular file, cannot map; the
  // detail names the reason), kLimitExceeded above max_bytes.
  formats::Status Open(const std::string& path, uint64_t max_bytes);

  // Valid until the FileMap is destroyed.
  std::span<const uint8_t> bytes() const { return {data_, size_}; }

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  bool mapped_ = false;
  std::vector<uint8_t> copy_;  // the fallback without mmap
};

}  // namespace converter
