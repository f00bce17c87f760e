// Compressed RTF. A mutated body almost never keeps its CRC, which would stop
// every input at the CRC check: an input failing only there is decompressed a
// second time with the CRC field made right, so the decoder itself is reached.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/common/limits.h"
#include "formats/rtf/rtf.h"
#include "formats/rtf/rtf_p.h"

namespace {

void Check(formats::Bytes input) {
  formats::Result<std::string> rtf = formats::rtf::Decompress(input);
  if (!rtf) return;
  // Offset 4: the raw size the header declares; the output never passes it.
  if (input.size() < 16 || rtf->size() > formats::LoadU32Le(input.data() + 4)) abort();
  if (rtf->size() > formats::limits::kMaxRtfBytes) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const formats::Bytes input(data, size);
  formats::Result<std::string> first = formats::rtf::Decompress(input);
  Check(input);
  if (first || first.error().code != formats::ErrorCode::kBadCrc) return 0;
  // Offset 0: compressed size (counting the 12 header bytes after it); 12: CRC.
  const uint32_t comp_size = formats::LoadU32Le(data);
  std::vector<uint8_t> fixed(data, data + size);
  const uint32_t crc = formats::rtf::CompressedRtfCrc(input.subspan(16, comp_size - 12));
  for (int i = 0; i < 4; ++i) fixed[12 + i] = static_cast<uint8_t>(crc >> (8 * i));
  Check(formats::Bytes(fixed.data(), fixed.size()));
  return 0;
}
