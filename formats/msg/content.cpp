#include "formats/msg/content.h"

#include <algorithm>

#include "formats/cfb/compound_file.h"
#include "formats/common/byte_reader.h"
#include "formats/common/codepage.h"
#include "formats/common/limits.h"
#include "formats/msg/reader.h"

namespace formats::msg {

namespace {

// Forwards compound file chunks to a ChunkFn, keeping the first error it gives.
Status ForwardChunks(const cfb::CompoundFile& file, cfb::EntryId id, uint64_t skip, uint64_t length,
                     const ChunkFn& fn) {
  Status failure;
  Status st = file.ForEachChunk(id, [&](Bytes chunk) {
    if (skip >= chunk.size()) {
      skip -= chunk.size();
      return true;
    }
    chunk = chunk.subspan(static_cast<size_t>(skip));
    skip = 0;
    if (chunk.size() > length) chunk = chunk.first(static_cast<size_t>(length));
    length -= chunk.size();
    if (!chunk.empty()) {
      if (Status s = fn(chunk); !s) {
        failure = std::move(s);
        return false;
      }
    }
    return length > 0;
  });
  if (!failure) return failure;
  return st;
}

}  // namespace

namespace {

// A NUL-terminated ANSI string of the package header. Its code page is not
// recorded; UTF-8 stands as it is, anything else is read as Windows-1252.
std::optional<std::string> ReadAnsiString(ByteReader& r) {
  std::string out;
  while (true) {
    auto c = r.ReadU8();
    if (!c) return std::nullopt;
    if (*c == 0) break;
    out += static_cast<char>(*c);
  }
  if (!IsValidUtf8(out)) out = DecodeLenient(out, 1252);
  return out;
}

// The part of a path after its last separator.
std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::optional<PackagedFile> Ole10NativePackage(std::string_view head, uint64_t stream_size) {
  ByteReader r({reinterpret_cast<const uint8_t*>(head.data()), head.size()});
  auto declared = r.ReadU32Le();
  if (!declared || stream_size < 4 || *declared > stream_size - 4 || !r.ReadU16Le()) return std::nullopt;
  const uint64_t end = 4 + uint64_t{*declared};
  std::optional<std::string> label = ReadAnsiString(r);
  if (!label) return std::nullopt;
  std::optional<std::string> source = ReadAnsiString(r);
  if (!source || !r.Skip(4)) return std::nullopt;
  auto temp_len = r.ReadU32Le();
  if (!temp_len || !r.Skip(*temp_len)) return std::nullopt;
  auto data_len = r.ReadU32Le();
  if (!data_len) return std::nullopt;
  PackagedFile out;
  out.offset = r.offset();
  out.length = *data_len;
  if (out.offset > end || out.length > end - out.offset) return std::nullopt;
  out.name = BaseName(*source);
  if (out.name.empty()) out.name = BaseName(*label);
  // The UTF-16 copies after the bytes, when the head holds them, name the file
  // in any script; the last one is its path.
  if (r.Skip(*data_len)) {
    std::string wide;
    for (int s = 0; s < 3; ++s) {
      auto count = r.ReadU32Le();
      if (!count || *count > r.remaining() / 2) {
        wide.clear();
        break;
      }
      Bytes chars = *r.ReadBytes(size_t{*count} * 2);
      wide = Utf16LeToUtf8(chars);
    }
    while (!wide.empty() && wide.back() == '\0') wide.pop_back();
    if (!BaseName(wide).empty()) out.name = BaseName(wide);
  }
  return out;
}

Status CompoundFileContent::StreamAttachment(const Attachment& attachment, const ChunkFn& fn) const {
  if (!attachment.data) return {};
  Status failure;
  Status st = attachment.data->ForEachChunk([&](std::span<const uint8_t> chunk) {
    if (Status s = fn(chunk); !s) {
      failure = std::move(s);
      return false;
    }
    return true;
  });
  if (!failure) return failure;
  return st;
}

Result<std::string> CompoundFileContent::ReadAttachmentPrefix(const Attachment& attachment, size_t max_bytes) const {
  std::string out;
  if (!attachment.data) return out;
  Status st = attachment.data->ForEachChunk([&](std::span<const uint8_t> chunk) {
    const size_t take = std::min(chunk.size(), max_bytes - out.size());
    out.append(reinterpret_cast<const char*>(chunk.data()), take);
    return out.size() < max_bytes;
  });
  if (!st) return std::move(st).error();
  return out;
}

Result<std::optional<std::string>> CompoundFileContent::ReadCompressedRtf(const Message& message) const {
  if (!message.rtf_compressed) return std::optional<std::string>();
  Result<std::vector<uint8_t>> bytes = message.rtf_compressed->ReadAll(limits::kMaxRtfBytes);
  // An unreadable RTF body only loses that rendering; the other bodies remain.
  if (!bytes) return std::optional<std::string>();
  return std::optional<std::string>(std::string(bytes->begin(), bytes->end()));
}

Result<std::optional<OleExport>> CompoundFileContent::OleData(const Attachment& attachment) const {
  using cfb::EntryId;
  const EntryId storage = *attachment.object_storage;
  const cfb::CompoundFile& file = file_;
  auto whole = [&file](EntryId id) -> ChunkSource {
    return [&file, id](const ChunkFn& fn) { return ForwardChunks(file, id, 0, UINT64_MAX, fn); };
  };
  // A packaged file: its own bytes.
  if (auto native = file.FindChild(storage, "\x01Ole10Native"); native && file.entry(*native).is_stream()) {
    std::string prefix;
    Status st = file.ForEachChunk(*native, [&](Bytes chunk) {
      prefix.append(reinterpret_cast<const char*>(chunk.data()), std::min<size_t>(chunk.size(), 65536 - prefix.size()));
      return prefix.size() < 65536;
    });
    if (!st) return std::move(st).error();
    if (std::optional<PackagedFile> package = Ole10NativePackage(prefix, file.entry(*native).size)) {
      const EntryId id = *native;
      const uint64_t offset = package->offset;
      const uint64_t length = package->length;
      return std::optional<OleExport>(OleExport{
          [&file, id, offset, length](const ChunkFn& fn) { return ForwardChunks(file, id, offset, length, fn); },
          std::move(package->name)});
    }
    return std::optional<OleExport>(OleExport{whole(*native), {}});
  }
  // An OOXML document embedded as its package, or an object's native contents.
  for (std::string_view name : {"Package", "CONTENTS"}) {
    if (auto id = file.FindChild(storage, name); id && file.entry(*id).is_stream()) {
      return std::optional<OleExport>(OleExport{whole(*id), {}});
    }
  }
  // Otherwise the largest stream (Word's WordDocument, Excel's Workbook, ...).
  std::optional<EntryId> largest;
  for (EntryId child : file.Children(storage)) {
    const auto& e = file.entry(child);
    if (e.is_stream() && (!largest || e.size > file.entry(*largest).size)) largest = child;
  }
  if (!largest) return std::optional<OleExport>();
  return std::optional<OleExport>(OleExport{whole(*largest), {}});
}

MessageFile::MessageFile() = default;
MessageFile::~MessageFile() = default;

Result<std::unique_ptr<MessageFile>> MessageFile::Open(std::span<const uint8_t> bytes) {
  Result<cfb::CompoundFile> file = cfb::CompoundFile::Open(bytes);
  if (!file) return std::move(file).error();
  std::unique_ptr<MessageFile> out(new MessageFile());
  out->file_ = std::make_unique<cfb::CompoundFile>(std::move(*file));
  Result<Message> item = ReadMessage(*out->file_);
  if (!item) return std::move(item).error();
  out->message_ = std::move(*item);
  out->content_ = std::make_unique<CompoundFileContent>(*out->file_);
  return out;
}

}  // namespace formats::msg
