// Compressed RTF ([MS-OXRTFCP]): a 16-byte header, then either the RTF as is
// ("MELA") or an LZ77 stream over a 4096-byte circular dictionary ("LZFu").
#include <array>
#include <cstdint>
#include <string>

#include "formats/common/limits.h"
#include "formats/rtf/rtf.h"
#include "formats/rtf/rtf_p.h"

namespace formats::rtf {

namespace {

// Header layout, all little-endian:
//   0  4  COMPSIZE  bytes after this field: 12 + length of the data after the header
//   4  4  RAWSIZE   size of the decompressed RTF
//   8  4  COMPTYPE  kCompressed or kUncompressed
//  12  4  CRC       CRC of the data after the header (compressed form); 0 when stored
constexpr size_t kHeaderSize = 16;
constexpr uint32_t kCompressed = 0x75465A4C;    // "LZFu"
constexpr uint32_t kUncompressed = 0x414C454D;  // "MELA"

constexpr size_t kDictionarySize = 4096;
constexpr uint32_t kDictionaryMask = kDictionarySize - 1;

// Every stream starts with this text in the dictionary (207 bytes, CR LF after
// "\blue0", no "}" after "Courier").
constexpr std::string_view kPreload =
    "{\\rtf1\\ansi\\mac\\deff0\\deftab720{\\fonttbl;}{\\f0\\fnil \\froman \\fswiss "
    "\\fmodern \\fscript \\fdecor MS Sans SerifSymbolArialTimes New RomanCourier"
    "{\\colortbl\\red0\\green0\\blue0\r\n\\par \\pard\\plain\\f0\\fs20\\b\\i\\u\\tab\\tx";
static_assert(kPreload.size() == 207);

// The most a stream can produce: each two-byte reference yields at most 17
// bytes. A header claiming more than that of its data is lying, and we refuse
// before reserving anything.
uint64_t MaxOutputOf(size_t data_size) { return static_cast<uint64_t>(data_size / 2) * 17 + 17; }

}  // namespace

uint32_t CompressedRtfCrc(Bytes data) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  // Unlike zlib's CRC-32 this starts at 0 and is not inverted at the end.
  uint32_t crc = 0;
  for (uint8_t b : data) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return crc;
}

Result<std::string> Decompress(Bytes compressed) {
  ByteReader header(compressed);
  auto comp_size = header.ReadU32Le();
  auto raw_size = header.ReadU32Le();
  auto comp_type = header.ReadU32Le();
  auto crc = header.ReadU32Le();
  if (!crc) return MakeError(ErrorCode::kTruncated, 0, "compressed RTF header is shorter than 16 bytes");
  if (*comp_type != kCompressed && *comp_type != kUncompressed)
    return MakeError(ErrorCode::kBadSignature, 8, "compressed RTF type is neither LZFu nor MELA");
  if (*raw_size > limits::kMaxRtfBytes)
    return MakeError(ErrorCode::kLimitExceeded, 4,
                     "RTF raw size " + std::to_string(*raw_size) + " is above the limit");
  const Bytes body = compressed.subspan(kHeaderSize);

  if (*comp_type == kUncompressed) {
    // Stored form: the CRC field should be 0, but the bytes are the RTF itself and
    // nothing depends on the field, so a non-zero value is tolerated.
    auto raw = Slice(body, 0, *raw_size);
    if (!raw) return MakeError(ErrorCode::kTruncated, kHeaderSize, "stored RTF is shorter than its raw size");
    return std::string(reinterpret_cast<const char*>(raw->data()), raw->size());
  }

  if (*comp_size < kHeaderSize - 4)
    return MakeError(ErrorCode::kBadRtf, 0, "compressed RTF size is smaller than the header");
  auto data = Slice(body, 0, *comp_size - (kHeaderSize - 4));
  if (!data)
    return MakeError(ErrorCode::kTruncated, kHeaderSize, "compressed RTF data is shorter than its header says");
  if (CompressedRtfCrc(*data) != *crc) return MakeError(ErrorCode::kBadCrc, 12, "compressed RTF CRC mismatch");
  if (*raw_size > MaxOutputOf(data->size()))
    return MakeError(ErrorCode::kBadRtf, 4, "RTF raw size is more than the compressed data can produce");

  std::array<uint8_t, kDictionarySize> dictionary{};
  std::copy(kPreload.begin(), kPreload.end(), dictionary.begin());
  uint32_t write_pos = static_cast<uint32_t>(kPreload.size());

  std::string out;
  out.reserve(*raw_size);
  ByteReader in(*data);
  bool ended = false;
  while (!ended && out.size() < *raw_size) {
    auto control = in.ReadU8();
    if (!control) break;
    for (int bit = 0; bit < 8 && !ended && out.size() < *raw_size; ++bit) {
      if ((*control & (1u << bit)) == 0) {
        auto literal = in.ReadU8();
        if (!literal) break;
        dictionary[write_pos] = *literal;
        write_pos = (write_pos + 1) & kDictionaryMask;
        out.push_back(static_cast<char>(*literal));
        continue;
      }
      const size_t ref_at = kHeaderSize + in.offset();
      // References are big-endian: 12 bits of dictionary offset, 4 bits of length - 2.
      auto hi = in.ReadU8();
      auto lo = in.ReadU8();
      if (!lo)
        return MakeError(ErrorCode::kTruncated, ref_at, "compressed RTF ends inside a dictionary reference");
      const uint32_t word = (static_cast<uint32_t>(*hi) << 8) | *lo;
      uint32_t offset = word >> 4;
      const uint32_t length = (word & 0xF) + 2;
      if (offset == write_pos) {
        ended = true;
        break;
      }
      // Byte by byte: a reference may overlap what it writes (a run).
      for (uint32_t k = 0; k < length && out.size() < *raw_size; ++k) {
        const uint8_t c = dictionary[offset];
        offset = (offset + 1) & kDictionaryMask;
        dictionary[write_pos] = c;
        write_pos = (write_pos + 1) & kDictionaryMask;
        out.push_back(static_cast<char>(c));
      }
    }
  }
  // Output reaching the raw size is complete even without an end marker. A
  // stream that ends (by marker) short of it passed its CRC, so the writer meant
  // exactly these bytes: we keep them rather than lose the body.
  if (out.size() < *raw_size && !ended)
    return MakeError(ErrorCode::kTruncated, compressed.size(), "compressed RTF ends before its end marker");
  return out;
}

}  // namespace formats::rtf
