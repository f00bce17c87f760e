// Decoders and sinks the MIME tests share. Written independently of the encoders
// (plain loops, no tables) so a fault in one is not mirrored in the other.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "formats/mime/sink.h"

namespace mime_test {

inline int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Decodes base64, skipping CR LF; returns false on any other stray character.
inline bool DecodeBase64(std::string_view text, std::string& out) {
  uint32_t acc = 0;
  int bits = 0;
  for (char c : text) {
    if (c == '\r' || c == '\n') continue;
    if (c == '=') break;
    const int v = Base64Value(c);
    if (v < 0) return false;
    acc = (acc << 6) | static_cast<uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((acc >> bits) & 0xFF);
    }
  }
  return true;
}

// The obvious base64: three bytes in, four characters out, a line break every 76.
inline std::string ReferenceBase64Lines(std::string_view data) {
  static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string flat;
  for (size_t i = 0; i < data.size(); i += 3) {
    uint32_t v = static_cast<uint8_t>(data[i]) << 16;
    if (i + 1 < data.size()) v |= static_cast<uint8_t>(data[i + 1]) << 8;
    if (i + 2 < data.size()) v |= static_cast<uint8_t>(data[i + 2]);
    flat += alphabet[(v >> 18) & 63];
    flat += alphabet[(v >> 12) & 63];
    flat += i + 1 < data.size() ? alphabet[(v >> 6) & 63] : '=';
    flat += i + 2 < data.size() ? alphabet[v & 63] : '=';
  }
  std::string out;
  for (size_t i = 0; i < flat.size(); i += 76) {
    out += flat.substr(i, 76);
    out += "\r\n";
  }
  return out;
}

inline int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Quoted-printable decoding as RFC 2045 6.7 describes it.
inline std::string DecodeQuotedPrintable(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '=') {
      out += text[i];
      continue;
    }
    if (i + 2 < text.size() + 0 && text.substr(i + 1, 2) == "\r\n") {
      i += 2;
      continue;
    }
    if (i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
      continue;
    }
    out += '=';
  }
  return out;
}

// Accepts bytes until limit, then fails every write: a disk that fills up.
class FailingSink : public formats::mime::Sink {
 public:
  explicit FailingSink(size_t limit) : limit_(limit) {}
  formats::Status Write(std::string_view bytes) override {
    ++calls_after_failure_check_;
    if (failed_) ++writes_after_failure_;
    if (written_ + bytes.size() > limit_) {
      failed_ = true;
      return formats::MakeError(formats::ErrorCode::kIo, written_, "disk full");
    }
    written_ += bytes.size();
    return {};
  }
  bool failed() const { return failed_; }
  size_t writes_after_failure() const { return writes_after_failure_; }

 private:
  size_t limit_;
  size_t written_ = 0;
  bool failed_ = false;
  size_t writes_after_failure_ = 0;
  size_t calls_after_failure_check_ = 0;
};

}  // namespace mime_test
