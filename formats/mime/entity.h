// The message tree the writer turns into bytes.
//
// A Message is its header fields (already encoded and folded, see header.h) plus one
// Entity. An Entity is a leaf (text in memory, or bytes pulled from a source while
// writing), a multipart with child entities, a message/rfc822 holding a nested
// Message, or verbatim bytes that carry their own Content-* header (a clear-signed
// body that must not be touched). Nothing is encoded until WriteMessage runs, so
// attachments never sit in memory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "formats/common/result.h"
#include "formats/mime/header.h"
#include "formats/mime/sink.h"
#include "formats/mime/transfer_encoding.h"

namespace formats::mime {

// Receives successive pieces of a body; an error stops the source.
using ChunkFn = std::function<Status(std::span<const uint8_t>)>;
// Produces a body by calling the given function with its pieces in order.
using ChunkSource = std::function<Status(const ChunkFn&)>;

struct Message;

struct Entity {
  enum class Kind { kLeaf, kMultipart, kMessage, kVerbatim };

  Entity();
  ~Entity();
  Entity(Entity&&) noexcept;
  Entity& operator=(Entity&&) noexcept;

  Kind kind = Kind::kLeaf;
  std::string media_type = "text/plain";  // "type/subtype"; "multipart/..." for kMultipart
  std::vector<Param> type_params;         // the writer adds boundary= itself
  std::string disposition;                // "", "inline" or "attachment"
  std::vector<Param> disposition_params;
  // Further fields after Content-Transfer-Encoding (Content-ID, Content-Location,
  // Content-Description), as name and ASCII value.
  std::vector<std::pair<std::string, std::string>> fields;

  // kLeaf: either body (in memory, encoding chosen from a scan when kAuto) or
  // source (always base64). kVerbatim: source or body written as they are.
  std::string body;
  ChunkSource source;
  TransferEncoding encoding = TransferEncoding::kAuto;

  std::vector<Entity> parts;         // kMultipart
  std::unique_ptr<Message> message;  // kMessage
};

struct Message {
  // Complete header fields, each folded and ending in CR LF (Date, From, ...,
  // MIME-Version); the writer appends the body's Content-* fields after them.
  std::vector<std::string> fields;
  Entity body;
};

// Boundary texts for multiparts, in the order the writer meets them (depth first).
using BoundaryFn = std::function<std::string()>;

struct WriteOptions {
  // Unset: "=_mv_" followed by 24 random hex digits. "=_" cannot occur in base64 or
  // quoted-printable text, and the random part keeps 7bit parts clear of it.
  BoundaryFn next_boundary;
};

// Writes msg to sink in one pass, every line ending in CR LF. Errors: the sink's
// and the body sources' (the first one stops the writer), kBadArgument for a tree
// the writer cannot express (a verbatim body that is empty).
Status WriteMessage(const Message& msg, Sink& sink, const WriteOptions& options = {});

// A new random boundary as described for WriteOptions.
std::string RandomBoundary();

}  // namespace formats::mime
