// S/MIME items. A clear-signed item carries the signed entity as its one
// attachment; written unchanged (after its own header fields) it keeps the
// signature valid. An opaque signed or encrypted item keeps its CMS blob as
// application/pkcs7-mime.
#include "formats/common/ascii.h"
#include "formats/eml/compose_p.h"
#include "formats/mime/header_block.h"
#include "formats/mime/signed_entity.h"

namespace formats::eml {

Result<std::optional<mime::Entity>> SmimeBody(const msg::Message& m, const msg::ContentAccess& content,
                                              std::set<std::string>& entity_fields) {
  const bool signed_class = EndsWithIgnoreCase(m.message_class, ".SMIME.MultipartSigned");
  const bool smime_class = EndsWithIgnoreCase(m.message_class, ".SMIME");
  if (!signed_class && !smime_class) return std::optional<mime::Entity>();
  for (const msg::Attachment& a : m.attachments) {
    if (!a.data) continue;
    const std::string tag = AsciiLower(a.mime_tag);
    if (tag == "multipart/signed" || (signed_class && m.attachments.size() == 1)) {
      Result<std::string> prefix = content.ReadAttachmentPrefix(a, mime::kMaxSignedHeaderBytes);
      if (!prefix) return std::move(prefix).error();
      std::optional<mime::SignedEntityHead> head = mime::ParseSignedEntityHead(*prefix);
      // Bytes that do not open with a header block naming the multipart/signed
      // type are not the signed entity: the item is then ordinary mail.
      if (!head) continue;
      mime::HeaderBlockReader reader(head->fields);
      while (std::optional<mime::HeaderField> f = reader.Next()) entity_fields.insert(AsciiLower(f->name));
      mime::Entity e;
      e.kind = mime::Entity::Kind::kVerbatim;
      e.source = [&a, &content, fields = std::move(head->fields), skip = head->length](const mime::ChunkFn& fn) {
        if (Status st = fn({reinterpret_cast<const uint8_t*>(fields.data()), fields.size()}); !st) return st;
        uint64_t left = skip;
        return content.StreamAttachment(a, [&](std::span<const uint8_t> chunk) -> Status {
          if (left >= chunk.size()) {
            left -= chunk.size();
            return {};
          }
          chunk = chunk.subspan(static_cast<size_t>(left));
          left = 0;
          return fn(chunk);
        });
      };
      return std::optional<mime::Entity>(std::move(e));
    }
    const bool p7m = tag == "application/pkcs7-mime" || tag == "application/x-pkcs7-mime" ||
                     EndsWithIgnoreCase(a.filename, ".p7m");
    if (smime_class && p7m) {
      mime::Entity e = NamedLeaf("application/pkcs7-mime", "smime.p7m", false);
      e.source = AttachmentSource(a, content);
      return std::optional<mime::Entity>(std::move(e));
    }
  }
  return std::optional<mime::Entity>();
}

}  // namespace formats::eml
