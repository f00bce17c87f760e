#include "formats/mime/base64.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>

namespace formats::mime {

namespace {

constexpr char kAlphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Two output characters for every 12-bit value: one lookup per half of a 3-byte
// group instead of four shifts and lookups per group.
struct PairTable {
  std::array<char, 4096 * 2> chars{};
  constexpr PairTable() {
    for (int v = 0; v < 4096; ++v) {
      chars[2 * v] = kAlphabet[v >> 6];
      chars[2 * v + 1] = kAlphabet[v & 63];
    }
  }
};
constexpr PairTable kPairs;

inline void EncodeGroup(const uint8_t* in, char* out) {
  const uint32_t v = (uint32_t{in[0]} << 16) | (uint32_t{in[1]} << 8) | in[2];
  std::memcpy(out, &kPairs.chars[2 * (v >> 12)], 2);
  std::memcpy(out + 2, &kPairs.chars[2 * (v & 0xFFF)], 2);
}

inline uint16_t Pair(uint64_t v) {
  uint16_t two;
  std::memcpy(&two, &kPairs.chars[2 * (v & 0xFFF)], 2);
  return two;
}

// Two groups at once: one 8-byte load (of which 6 bytes are used) and one 8-byte
// store, about half the instructions of two EncodeGroup calls. `in` must have 8
// readable bytes.
inline void EncodeTwoGroups(const uint8_t* in, char* out) {
  if constexpr (std::endian::native == std::endian::little) {
    uint64_t w;
    std::memcpy(&w, in, 8);
#if defined(__GNUC__) || defined(__clang__)
    w = __builtin_bswap64(w) >> 16;
#else
    w = ((w & 0xFF) << 40) | ((w & 0xFF00) << 24) | ((w & 0xFF0000) << 8) | ((w >> 8) & 0xFF0000) |
        ((w >> 24) & 0xFF00) | ((w >> 40) & 0xFF);
#endif
    const uint64_t chars = uint64_t{Pair(w >> 36)} | (uint64_t{Pair(w >> 24)} << 16) |
                           (uint64_t{Pair(w >> 12)} << 32) | (uint64_t{Pair(w)} << 48);
    std::memcpy(out, &chars, 8);
  } else {
    EncodeGroup(in, out);
    EncodeGroup(in + 3, out + 4);
  }
}

// One full line: 57 bytes -> 76 characters + CR LF. Nine double groups (the last
// one reads up to byte 56) and one single; no branch per byte.
inline void EncodeLine(const uint8_t* in, char* out) {
  for (int g = 0; g < 9; ++g) EncodeTwoGroups(in + 6 * g, out + 8 * g);
  EncodeGroup(in + 54, out + 72);
  out[76] = '\r';
  out[77] = '\n';
}

// Encodes n < 57 bytes (a last line) with padding; returns characters written
// including CR LF.
size_t EncodeTail(const uint8_t* in, size_t n, char* out) {
  size_t o = 0;
  size_t i = 0;
  for (; i + 3 <= n; i += 3, o += 4) EncodeGroup(in + i, out + o);
  const size_t rest = n - i;
  if (rest == 1) {
    const uint32_t v = uint32_t{in[i]} << 16;
    out[o++] = kAlphabet[v >> 18];
    out[o++] = kAlphabet[(v >> 12) & 63];
    out[o++] = '=';
    out[o++] = '=';
  } else if (rest == 2) {
    const uint32_t v = (uint32_t{in[i]} << 16) | (uint32_t{in[i + 1]} << 8);
    out[o++] = kAlphabet[v >> 18];
    out[o++] = kAlphabet[(v >> 12) & 63];
    out[o++] = kAlphabet[(v >> 6) & 63];
    out[o++] = '=';
  }
  out[o++] = '\r';
  out[o++] = '\n';
  return o;
}

}  // namespace

Status Base64LineEncoder::FlushIfFull() {
  if (out_len_ + kLineOutput <= kOutputBlock) return {};
  Status st = sink_.Write(std::string_view(out_, out_len_));
  out_len_ = 0;
  return st;
}

Status Base64LineEncoder::Feed(std::span<const uint8_t> data) {
  // An empty span may carry a null pointer, which memcpy must not be given even
  // for zero bytes.
  if (data.empty()) return {};
  bytes_in_ += data.size();
  const uint8_t* p = data.data();
  size_t n = data.size();
  if (carry_len_ > 0) {
    const size_t take = std::min(n, kLineInput - carry_len_);
    std::memcpy(carry_ + carry_len_, p, take);
    carry_len_ += take;
    p += take;
    n -= take;
    if (carry_len_ < kLineInput) return {};
    EncodeLine(carry_, out_ + out_len_);
    out_len_ += kLineOutput;
    carry_len_ = 0;
    if (Status st = FlushIfFull(); !st) return st;
  }
  while (n >= kLineInput) {
    // Fill the block with as many lines as fit, then hand it over.
    size_t lines = std::min(n / kLineInput, (kOutputBlock - out_len_) / kLineOutput);
    char* out = out_ + out_len_;
    for (size_t l = 0; l < lines; ++l) {
      EncodeLine(p, out);
      p += kLineInput;
      out += kLineOutput;
    }
    out_len_ += lines * kLineOutput;
    n -= lines * kLineInput;
    if (Status st = FlushIfFull(); !st) return st;
  }
  std::memcpy(carry_, p, n);
  carry_len_ = n;
  return {};
}

Status Base64LineEncoder::Finish() {
  if (carry_len_ > 0) {
    if (out_len_ + kLineOutput > kOutputBlock) {
      if (Status st = sink_.Write(std::string_view(out_, out_len_)); !st) return st;
      out_len_ = 0;
    }
    out_len_ += EncodeTail(carry_, carry_len_, out_ + out_len_);
    carry_len_ = 0;
  }
  if (out_len_ == 0) return {};
  Status st = sink_.Write(std::string_view(out_, out_len_));
  out_len_ = 0;
  return st;
}

std::string EncodeBase64Lines(std::string_view data) {
  StringSink sink;
  auto encoder = std::make_unique<Base64LineEncoder>(sink);
  // A StringSink never fails.
  (void)encoder->Feed({reinterpret_cast<const uint8_t*>(data.data()), data.size()});
  (void)encoder->Finish();
  return sink.Take();
}

std::string EncodeBase64(std::string_view data) {
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  const auto* p = reinterpret_cast<const uint8_t*>(data.data());
  size_t i = 0;
  for (; i + 3 <= data.size(); i += 3) {
    char group[4];
    EncodeGroup(p + i, group);
    out.append(group, 4);
  }
  if (i < data.size()) {
    char tail[8];
    size_t len = EncodeTail(p + i, data.size() - i, tail);
    out.append(tail, len - 2);  // without the CR LF
  }
  return out;
}

}  // namespace formats::mime
