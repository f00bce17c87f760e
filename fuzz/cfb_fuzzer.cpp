// Compound file reader: open the input, then visit every entry of the tree and
// read every stream both ways (whole and in spans). Both must agree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "formats/cfb/compound_file.h"

namespace cfb = formats::cfb;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  formats::Result<cfb::CompoundFile> file = cfb::CompoundFile::Open(formats::Bytes(data, size));
  if (!file) return 0;
  // Every entry reached from the root, depth first; Open guarantees a tree.
  std::vector<cfb::EntryId> pending = {cfb::kRootEntry};
  while (!pending.empty()) {
    const cfb::EntryId id = pending.back();
    pending.pop_back();
    const cfb::DirectoryEntry& entry = file->entry(id);
    if (entry.is_storage()) {
      for (cfb::EntryId child : file->Children(id)) {
        pending.push_back(child);
        // The name index must find what the tree holds.
        if (!file->FindChild(id, file->entry(child).name)) abort();
      }
      continue;
    }
    uint64_t total = 0;
    std::vector<uint8_t> joined;
    formats::Status spans = file->ForEachChunk(id, [&](formats::Bytes piece) {
      total += piece.size();
      joined.insert(joined.end(), piece.begin(), piece.end());
      return true;
    });
    formats::Result<std::vector<uint8_t>> whole = file->ReadStream(id, size);
    // The stream cannot hold more than the file, so the cap never bites on a
    // readable stream: both reads succeed or fail together.
    if (spans.ok() != whole.ok()) abort();
    if (!whole) continue;
    if (total != entry.size || whole->size() != entry.size) abort();
    if (!joined.empty() && std::memcmp(joined.data(), whole->data(), joined.size()) != 0) abort();
  }
  return 0;
}
