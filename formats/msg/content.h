// The bytes the .msg model leaves in the compound file: attachment data, the
// compressed RTF body and the native data of OLE objects.
//
// Composition reads them through ContentAccess, so it never sees the compound
// file; tests hand in their own. CompoundFileContent reads them from the file the
// model came from, and MessageFile opens an in-memory .msg with both at once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "formats/common/result.h"
#include "formats/msg/message.h"

namespace formats::cfb {
class CompoundFile;
}

namespace formats::msg {

// One piece of a stream; a failure stops the reading and comes back unchanged.
using ChunkFn = std::function<Status(std::span<const uint8_t>)>;
// Produces a stream's bytes piece by piece when called.
using ChunkSource = std::function<Status(const ChunkFn&)>;

// The bytes an OLE object goes out as.
struct OleExport {
  ChunkSource data;
  // For a file packaged by the shell, the file's own name (UTF-8, may hold a
  // path); empty for any other object.
  std::string packaged_name;
};

class ContentAccess {
 public:
  virtual ~ContentAccess() = default;
  // The attachment's data (PidTagAttachDataBinary), piece by piece; nothing for an
  // attachment without data.
  virtual Status StreamAttachment(const Attachment& attachment, const ChunkFn& fn) const = 0;
  // At most max_bytes from the start of the attachment's data.
  virtual Result<std::string> ReadAttachmentPrefix(const Attachment& attachment, size_t max_bytes) const = 0;
  // PidTagRtfCompressed of the item, nullopt when it has none.
  virtual Result<std::optional<std::string>> ReadCompressedRtf(const Message& message) const = 0;
  // What an OLE attachment (method 6) is exported as: the native data of the
  // object, nullopt when its storage holds no stream at all.
  virtual Result<std::optional<OleExport>> OleData(const Attachment& attachment) const = 0;
};

// ContentAccess over the compound file the model was read from; the sources it
// returns refer to the file, which must outlive them.
class CompoundFileContent : public ContentAccess {
 public:
  explicit CompoundFileContent(const cfb::CompoundFile& file) : file_(file) {}
  Status StreamAttachment(const Attachment& attachment, const ChunkFn& fn) const override;
  Result<std::string> ReadAttachmentPrefix(const Attachment& attachment, size_t max_bytes) const override;
  Result<std::optional<std::string>> ReadCompressedRtf(const Message& message) const override;
  Result<std::optional<OleExport>> OleData(const Attachment& attachment) const override;

 private:
  const cfb::CompoundFile& file_;
};

// A file packaged by the shell inside an \1Ole10Native stream:
//   u32 size of what follows, u16 flags, label and source path as NUL-terminated
//   ANSI strings, u16 x2, u32 length + temporary path, u32 length + the file's
//   bytes, then optionally u32 count + UTF-16LE for the temporary path, the label
//   and the file name.
struct PackagedFile {
  uint64_t offset = 0, length = 0;  // the file's bytes in the stream
  std::string name;                 // UTF-8: the file name, else the label; may be empty
};

// The package in an \1Ole10Native stream; head is the stream's start (the name
// strings must lie inside it), stream_size its whole size. nullopt when the
// stream does not have that shape or a size in it points beyond the stream or
// beyond the declared size (the stream is then exported whole).
std::optional<PackagedFile> Ole10NativePackage(std::string_view head, uint64_t stream_size);

// An item read from an in-memory .msg, with the content its model refers to. The
// bytes must outlive it.
class MessageFile {
 public:
  // Errors: those of cfb::CompoundFile::Open, then those of ReadMessage.
  static Result<std::unique_ptr<MessageFile>> Open(std::span<const uint8_t> bytes);
  ~MessageFile();
  MessageFile(const MessageFile&) = delete;
  MessageFile& operator=(const MessageFile&) = delete;

  const Message& message() const { return message_; }
  const ContentAccess& content() const { return *content_; }

 private:
  MessageFile();
  // The model and the content point into the file, so it never moves.
  std::unique_ptr<cfb::CompoundFile> file_;
  Message message_;
  std::unique_ptr<CompoundFileContent> content_;
};

}  // namespace formats::msg
