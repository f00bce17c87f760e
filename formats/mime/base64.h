// Streaming base64 for MIME bodies: 76 characters per line, CR LF after each.
//
// Input may arrive in chunks of any size (sector runs of the compound file); the
// encoder keeps up to one line's worth of input (57 bytes) between calls, so the
// output is the same however the input was cut. Output goes to the sink in blocks of
// at most kOutputBlock bytes; memory use is fixed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "formats/common/result.h"
#include "formats/mime/sink.h"

namespace formats::mime {

class Base64LineEncoder {
 public:
  static constexpr size_t kLineInput = 57;    // bytes per full line
  static constexpr size_t kLineOutput = 78;   // 76 characters + CR LF
  static constexpr size_t kOutputBlock = kLineOutput * 840;  // ~64 KB per sink call

  explicit Base64LineEncoder(Sink& sink) : sink_(sink) {}

  // Encodes data; whole lines go out as the block fills. Errors: the sink's.
  Status Feed(std::span<const uint8_t> data);
  // Encodes what is left (a last, shorter line with '=' padding and CR LF) and
  // flushes. Nothing is written for empty input. Call once.
  Status Finish();

  uint64_t bytes_in() const { return bytes_in_; }

 private:
  Status FlushIfFull();

  Sink& sink_;
  uint8_t carry_[kLineInput];
  size_t carry_len_ = 0;
  char out_[kOutputBlock];
  size_t out_len_ = 0;
  uint64_t bytes_in_ = 0;
};

// Whole-buffer convenience: the same line layout as Base64LineEncoder.
std::string EncodeBase64Lines(std::string_view data);

// Plain base64 without line breaks (encoded words, tests).
std::string EncodeBase64(std::string_view data);

}  // namespace formats::mime
