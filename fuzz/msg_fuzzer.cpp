// Message reader: the .msg model of the input, then the bytes of every
// attachment, the compressed RTF body and every embedded message's, read through
// their StreamRefs the way the converter reads them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "formats/cfb/compound_file.h"
#include "formats/msg/reader.h"

namespace msg = formats::msg;

namespace {

void ReadRef(const msg::StreamRef& ref, size_t file_size) {
  uint64_t total = 0;
  formats::Status st = ref.ForEachChunk([&](std::span<const uint8_t> piece) {
    total += piece.size();
    return true;
  });
  if (st && total != ref.size()) abort();
  formats::Result<std::vector<uint8_t>> all = ref.ReadAll(file_size);
  if (all && all->size() != ref.size()) abort();
}

void Visit(const msg::Message& m, size_t file_size) {
  if (m.rtf_compressed) ReadRef(*m.rtf_compressed, file_size);
  for (const msg::Attachment& a : m.attachments) {
    if (a.data) ReadRef(*a.data, file_size);
    if (a.embedded) {
      if (a.embedded->depth != m.depth + 1) abort();
      Visit(*a.embedded, file_size);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  formats::Result<formats::cfb::CompoundFile> file = formats::cfb::CompoundFile::Open(formats::Bytes(data, size));
  if (!file) return 0;
  formats::Result<msg::Message> item = msg::ReadMessage(*file);
  if (!item) return 0;
  Visit(*item, size);
  return 0;
}
