// Bounds-checked little-endian reads over a span of untrusted bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace formats {

using Bytes = std::span<const uint8_t>;

// Sub-span [offset, offset + size) of data, or nullopt when it does not fit.
// Written so that offset + size never overflows.
inline std::optional<Bytes> Slice(Bytes data, uint64_t offset, uint64_t size) {
  if (offset > data.size() || size > data.size() - offset) return std::nullopt;
  return data.subspan(static_cast<size_t>(offset), static_cast<size_t>(size));
}

inline uint16_t LoadU16Le(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadU32Le(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t LoadU64Le(const uint8_t* p) {
  return static_cast<uint64_t>(LoadU32Le(p)) | (static_cast<uint64_t>(LoadU32Le(p + 4)) << 32);
}

// Sequential reader: every read compares the wanted count with what remains and
// changes nothing when it fails.
class ByteReader {
 public:
  explicit ByteReader(Bytes data) : data_(data) {}

  size_t offset() const { return pos_; }
  size_t remaining() const { return data_.size() - pos_; }

  bool Skip(size_t n) {
    if (n > remaining()) return false;
    pos_ += n;
    return true;
  }
  std::optional<Bytes> ReadBytes(size_t n) {
    if (n > remaining()) return std::nullopt;
    Bytes out = data_.subspan(pos_, n);
    pos_ += n;
    return out;
  }
  std::optional<uint8_t> ReadU8() {
    if (remaining() < 1) return std::nullopt;
    return data_[pos_++];
  }
  std::optional<uint16_t> ReadU16Le() {
    if (remaining() < 2) return std::nullopt;
    uint16_t v = LoadU16Le(data_.data() + pos_);
    pos_ += 2;
    return v;
  }
  std::optional<uint32_t> ReadU32Le() {
    if (remaining() < 4) return std::nullopt;
    uint32_t v = LoadU32Le(data_.data() + pos_);
    pos_ += 4;
    return v;
  }
  std::optional<uint64_t> ReadU64Le() {
    if (remaining() < 8) return std::nullopt;
    uint64_t v = LoadU64Le(data_.data() + pos_);
    pos_ += 8;
    return v;
  }

 private:
  Bytes data_;
  size_t pos_ = 0;
};

}  // namespace formats
