// OutputFile's buffering and the uuid names, the same on every system.
#include <cstdio>
#include <cstring>

#include "converter_tool/output_file.h"
#include "formats/common/random.h"

namespace converter {

using formats::Status;

std::string NewUuid() {
  uint8_t b[16];
  for (int i = 0; i < 16; i += 4) {
    const uint32_t v = formats::RandomU32();
    std::memcpy(b + i, &v, 4);
  }
  b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40);  // version 4
  b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
  char text[37];
  std::snprintf(text, sizeof text, "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[0], b[1],
                b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return text;
}

Status OutputFile::Flush() {
  if (buffer_.empty()) return {};
  Status st = WriteAll(buffer_.data(), buffer_.size());
  buffer_.clear();
  return st;
}

Status OutputFile::Write(std::string_view bytes) {
  if (buffer_.size() + bytes.size() > kBufferSize) {
    if (Status st = Flush(); !st) return st;
  }
  if (bytes.size() >= kDirectWriteSize) {
    // The base64 encoder hands over 64 KB blocks: copying them into the buffer
    // cost more than the system call it saves.
    if (Status st = Flush(); !st) return st;
    return WriteAll(bytes.data(), bytes.size());
  }
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  if (buffer_.size() >= kBufferSize) return Flush();
  return {};
}

}  // namespace converter
