// Writes seed inputs for the RTF targets: for each .msg given, the compressed RTF
// body of the item and of every embedded item (for the decompressor), and each one
// decompressed (for the RTF readers); for each .lzfu given, its decompressed RTF.
//
//   extract_seeds <out folder> <file>...   writes <out>/lzfu/*.lzfu, <out>/rtf/*.rtf
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "formats/cfb/compound_file.h"
#include "formats/msg/reader.h"
#include "formats/rtf/rtf.h"

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const void* data, size_t size) {
  std::ofstream out(path, std::ios::binary);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

int count = 0;

void Emit(const fs::path& out, const std::string& stem, const std::vector<uint8_t>& compressed) {
  const std::string name = stem + "_" + std::to_string(count++);
  Write(out / "lzfu" / (name + ".lzfu"), compressed.data(), compressed.size());
  formats::Result<std::string> rtf = formats::rtf::Decompress(formats::Bytes(compressed.data(), compressed.size()));
  if (rtf) Write(out / "rtf" / (name + ".rtf"), rtf->data(), rtf->size());
}

void Visit(const formats::msg::Message& m, const fs::path& out, const std::string& stem) {
  if (m.rtf_compressed) {
    formats::Result<std::vector<uint8_t>> bytes = m.rtf_compressed->ReadAll(64u << 20);
    if (bytes) Emit(out, stem, *bytes);
  }
  for (const formats::msg::Attachment& a : m.attachments) {
    if (a.embedded) Visit(*a.embedded, out, stem);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: extract_seeds <out folder> <file>...\n");
    return 2;
  }
  const fs::path out = argv[1];
  fs::create_directories(out / "lzfu");
  fs::create_directories(out / "rtf");
  for (int i = 2; i < argc; ++i) {
    const fs::path path = argv[i];
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string stem = path.stem().string();
    if (path.extension() == ".lzfu") {
      Emit(out, stem, bytes);
      continue;
    }
    formats::Result<formats::cfb::CompoundFile> file =
        formats::cfb::CompoundFile::Open(formats::Bytes(bytes.data(), bytes.size()));
    if (!file) continue;
    formats::Result<formats::msg::Message> item = formats::msg::ReadMessage(*file);
    if (item) Visit(*item, out, stem);
  }
  std::fprintf(stderr, "extract_seeds: %d RTF bodies\n", count);
  return 0;
}
