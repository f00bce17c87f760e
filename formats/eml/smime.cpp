// S/MIME items. A clear-signed item carries the signed entity as its one
// attachment; written unchanged (after its own header fields) it keeps the
// signature valid. An opaque signed or encrypted item keeps its CMS blob as
// application/pkcs7-mime, with the smime-type that mail programs decide by.
#include <array>

#include "formats/common/ascii.h"
#include "formats/eml/compose_p.h"
#include "formats/mime/header_block.h"
#include "formats/mime/signed_entity.h"

namespace formats::eml {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsTokenLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

// The smime-type parameter of a stored Content-Type value; empty when there is
// none that is a plain token.
std::string SmimeTypeParameter(std::string_view text) {
  constexpr std::string_view kName = "smime-type";
  const std::string lower = AsciiLower(text);
  for (size_t pos = lower.find(kName); pos != std::string::npos; pos = lower.find(kName, pos + 1)) {
    size_t before = pos;
    while (before > 0 && IsBlank(text[before - 1])) --before;
    size_t i = pos + kName.size();
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (before == 0 || text[before - 1] != ';' || i >= text.size() || text[i] != '=') continue;
    ++i;
    while (i < text.size() && IsBlank(text[i])) ++i;
    const bool quoted = i < text.size() && text[i] == '"';
    if (quoted) ++i;
    const size_t start = i;
    while (i < text.size() && IsTokenLetter(text[i])) ++i;
    const bool closed = quoted ? i < text.size() && text[i] == '"' : i == text.size() || text[i] == ';' || IsBlank(text[i]);
    if (i > start && i - start <= 40 && closed) return std::string(text.substr(start, i - start));
  }
  return "";
}

// The smime-type of a CMS ContentInfo (RFC 5652 3, RFC 8551 3.2.2) from the
// content-type OID its DER opens with; empty for anything else.
std::string SmimeTypeOfContent(std::string_view der) {
  auto byte = [&der](size_t i) { return static_cast<uint8_t>(der[i]); };
  if (der.size() < 2 || byte(0) != 0x30) return "";
  size_t i = 2;
  // Definite lengths of up to four bytes, or the indefinite form (0x80).
  if (byte(1) & 0x80) i += byte(1) & 0x7F;
  if (byte(1) > 0x84 || i + 2 > der.size() || byte(i) != 0x06) return "";
  const size_t length = byte(i + 1);
  i += 2;
  if (length > 0x7F || i + length > der.size()) return "";
  const std::string_view oid = der.substr(i, length);
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 4> kTypes{{
      {"\x2A\x86\x48\x86\xF7\x0D\x01\x07\x03", "enveloped-data"},                // 1.2.840.113549.1.7.3
      {"\x2A\x86\x48\x86\xF7\x0D\x01\x07\x02", "signed-data"},                   // 1.2.840.113549.1.7.2
      {"\x2A\x86\x48\x86\xF7\x0D\x01\x09\x10\x01\x17", "authEnveloped-data"},  // 1.2.840.113549.1.9.16.1.23
      {"\x2A\x86\x48\x86\xF7\x0D\x01\x09\x10\x01\x09", "compressed-data"},     // 1.2.840.113549.1.9.16.1.9
  }};
  for (const auto& [bytes, type] : kTypes) {
    if (oid == bytes) return std::string(type);
  }
  return "";
}

}  // namespace

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
      // The stored type says what the blob is; where it does not, the blob does.
      std::string smime_type = SmimeTypeParameter(m.internet_content_type);
      if (smime_type.empty()) smime_type = SmimeTypeParameter(a.mime_tag);
      if (smime_type.empty()) {
        // Unreadable bytes fail the conversion when the part is written.
        Result<std::string> prefix = content.ReadAttachmentPrefix(a, 32);
        if (prefix) smime_type = SmimeTypeOfContent(*prefix);
      }
      if (!smime_type.empty()) e.type_params.insert(e.type_params.begin(), {"smime-type", smime_type, false});
      e.source = AttachmentSource(a, content);
      return std::optional<mime::Entity>(std::move(e));
    }
  }
  return std::optional<mime::Entity>();
}

}  // namespace formats::eml
