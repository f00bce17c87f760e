// The input file as read-only bytes. The file is mapped (file_map_posix.cpp,
// file_map_windows.cpp), so a large attachment costs page cache, not heap.
#pragma once

#include <cstdint>
#include <span>
#include <string>

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
};

}  // namespace converter
