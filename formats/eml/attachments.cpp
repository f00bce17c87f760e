// Attachments as parts: by value (a leaf, inline beside the HTML when the HTML
// refers to it, or message/rfc822 for a stored Internet message), by reference
// (message/external-body), embedded messages (message/rfc822 of the composed
// item) and OLE objects (their native data).
#include <algorithm>
#include <memory>

#include "formats/common/ascii.h"
#include "formats/eml/compose_p.h"
#include "formats/mime/media_types.h"
#include "formats/mime/transfer_encoding.h"
#include "formats/msg/filetime.h"

namespace formats::eml {

namespace {

std::string AttachmentName(const msg::Attachment& a, std::string_view media_type) {
  std::string name = SanitizeFileName(a.filename);
  if (name.empty()) name = SanitizeFileName(a.long_filename);
  if (name.empty()) name = SanitizeFileName(a.short_filename);
  if (name.empty()) name = SanitizeFileName(a.display_name);
  if (name.empty()) {
    std::string ext = SanitizeFileName(a.extension);
    if (ext.empty() || ext[0] != '.') ext = mime::ExtensionForMediaType(media_type);
    name = "attachment" + ext;
  }
  return name;
}

// The stored media type when it is a well-formed one, else a guess from the
// file name's extension.
std::string StoredMediaType(const msg::Attachment& a) {
  if (auto tag = mime::NormalizeMediaType(a.mime_tag)) return *tag;
  std::string name = a.filename;
  if (name.find('.') == std::string::npos) name += a.extension;
  return mime::MediaTypeForFileName(name);
}

// Media type for a base64 leaf. Composite types (multipart/*, message/*) cannot
// be base64-encoded, so such bytes go out as application/octet-stream under
// their own name (a message/* type that StoredMessagePart can carry as it is
// never gets here).
std::string LeafMediaType(const msg::Attachment& a) {
  std::string type = StoredMediaType(a);
  if (StartsWithIgnoreCase(type, "multipart/") || StartsWithIgnoreCase(type, "message/")) {
    type = "application/octet-stream";
  }
  return type;
}

// A reference the .msg makes to a file or URL it does not carry: kept visible as
// message/external-body (RFC 2046 5.2.3, RFC 2017). The tool never reads local
// files named by the item: a hostile item could otherwise copy any file the user
// can read into the .eml.
mime::Entity ExternalReference(const msg::Attachment& a, const std::string& name, const std::string& media_type) {
  mime::Entity e;
  e.media_type = "message/external-body";
  if (a.method == msg::AttachMethod::kByWebReference) {
    e.type_params = {{"access-type", "URL", false}, {"URL", a.pathname, false}};
  } else {
    e.type_params = {{"access-type", "local-file", false}, {"name", a.pathname, false}};
  }
  e.disposition = "attachment";
  e.disposition_params = {{"filename", name, false}};
  e.encoding = mime::TransferEncoding::k7bit;
  // The phantom header of the referenced body.
  e.body = mime::FoldParameterField("Content-Type", media_type, {{"name", name, true}}) + "\r\n";
  return e;
}

// A stored Internet message (.eml attached by value) goes out as message/rfc822,
// and an attachment stored under another message/* type (a delivery status, a
// disposition notification) under that type, when the bytes can stand in a
// 7bit part as they are: ASCII, CR LF lines of at most 998 characters, starting
// with a header field. A message/* body may not be base64-encoded (RFC 2046,
// RFC 3464): anything else stays a base64 application/octet-stream attachment,
// which keeps its bytes just as well. message/partial and message/external-body
// need parameters the item does not keep, and are never carried as such.
Result<std::optional<mime::Entity>> StoredMessagePart(const msg::Attachment& a, const std::string& name,
                                                      const msg::ContentAccess& content) {
  constexpr uint64_t kMaxInlineMessageBytes = 16u << 20;
  const std::optional<std::string> tag = mime::NormalizeMediaType(a.mime_tag);
  const std::string type = tag ? *tag : EndsWithIgnoreCase(name, ".eml") ? "message/rfc822" : "";
  const bool is_message = StartsWithIgnoreCase(type, "message/") && type != "message/partial" &&
                          type != "message/external-body";
  if (!is_message || a.data->size() == 0 || a.data->size() > kMaxInlineMessageBytes) {
    return std::optional<mime::Entity>();
  }
  Result<std::string> bytes = content.ReadAttachmentPrefix(a, kMaxInlineMessageBytes);
  if (!bytes) return std::move(bytes).error();
  const mime::BodyScan scan = mime::ScanBody(*bytes);
  const size_t colon = bytes->find(':');
  const bool starts_with_field = colon != std::string::npos && colon > 0 && colon < bytes->find("\r\n");
  if (scan.eight_bit || scan.nuls || scan.bare_cr || scan.bare_lf || scan.controls ||
      scan.longest_line > mime::kMaxLineLength || !starts_with_field) {
    return std::optional<mime::Entity>();
  }
  mime::Entity e;
  e.media_type = type;
  e.encoding = mime::TransferEncoding::k7bit;
  e.disposition = "attachment";
  e.disposition_params = {{"filename", name, false}};
  e.body = std::move(*bytes);
  return std::optional<mime::Entity>(std::move(e));
}

}  // namespace

mime::Entity NamedLeaf(std::string media_type, const std::string& name, bool inline_part) {
  mime::Entity e;
  e.media_type = std::move(media_type);
  e.type_params = {{"name", name, true}};
  e.disposition = inline_part ? "inline" : "attachment";
  e.disposition_params = {{"filename", name, false}};
  return e;
}

mime::ChunkSource AttachmentSource(const msg::Attachment& a, const msg::ContentAccess& content) {
  return [&a, &content](const mime::ChunkFn& fn) { return content.StreamAttachment(a, fn); };
}

namespace {

Result<std::optional<mime::Entity>> AttachmentEntity(const Context& context, const msg::Attachment& a,
                                                     const std::string& cid, const std::set<std::string>& cids,
                                                     const std::string& lower_html,
                                                     std::vector<mime::Entity>& inline_parts) {
  if (a.method == msg::AttachMethod::kEmbeddedMessage && a.embedded) {
    Result<mime::Message> inner = ComposeItem(context, *a.embedded, false);
    if (!inner) return std::move(inner).error();
    // The names the user saw, then the message's own subject; the 8.3 short
    // name (which turns other scripts into "?") only when nothing else names it.
    std::string name = SanitizeFileName(a.long_filename);
    if (name.empty()) name = SanitizeFileName(a.display_name);
    if (name.empty()) name = SanitizeFileName(a.embedded->subject);
    if (name.empty()) name = SanitizeFileName(a.filename);
    if (name.empty()) name = "message";
    if (EndsWithIgnoreCase(name, ".msg")) name.resize(name.size() - 4);
    if (!EndsWithIgnoreCase(name, ".eml")) name += ".eml";
    mime::Entity e;
    e.kind = mime::Entity::Kind::kMessage;
    e.media_type = "message/rfc822";
    e.disposition = "attachment";
    e.disposition_params = {{"filename", name, false}};
    e.message = std::make_unique<mime::Message>(std::move(*inner));
    return std::optional<mime::Entity>(std::move(e));
  }

  const std::string media_type = LeafMediaType(a);
  const std::string name = AttachmentName(a, media_type);
  switch (a.method) {
    case msg::AttachMethod::kByReference:
    case msg::AttachMethod::kByRefResolve:
    case msg::AttachMethod::kByRefOnly:
    case msg::AttachMethod::kByWebReference:
      if (!a.pathname.empty()) return std::optional<mime::Entity>(ExternalReference(a, name, media_type));
      break;
    case msg::AttachMethod::kOle: {
      if (!a.object_storage) break;
      Result<std::optional<msg::OleExport>> ole = context.content.OleData(a);
      if (!ole) return std::move(ole).error();
      // A packaged file goes out as itself: its own name, a type from its extension.
      const std::string packaged = *ole ? SanitizeFileName((*ole)->packaged_name) : std::string();
      mime::Entity e = packaged.empty() ? NamedLeaf(media_type, name, false)
                                        : NamedLeaf(mime::MediaTypeForFileName(packaged), packaged, false);
      if (*ole) {
        e.source = std::move((*ole)->data);
      } else {
        e.source = [](const mime::ChunkFn&) { return Status(); };
      }
      return std::optional<mime::Entity>(std::move(e));
    }
    default:
      break;
  }

  if (a.method == msg::AttachMethod::kByValue && a.data) {
    Result<std::optional<mime::Entity>> message = StoredMessagePart(a, name, context.content);
    if (!message) return std::move(message).error();
    if (*message) return message;
  }

  const std::string location = RemoveNuls(a.content_location);
  const bool by_cid = !cid.empty() && cids.count(AsciiLower(cid)) > 0;
  const bool by_location = !location.empty() && location.size() <= 900 &&
                           lower_html.find(AsciiLower(location)) != std::string::npos;
  // Some writers refer to an image by its bare file name (src="image001.jpg");
  // beside the HTML with that Content-Location, the reference resolves.
  std::string referenced_name;
  if (!by_cid && !by_location && !name.empty()) {
    const std::string lower_name = AsciiLower(name);
    if (lower_html.find("src=\"" + lower_name + "\"") != std::string::npos ||
        lower_html.find("src='" + lower_name + "'") != std::string::npos) {
      referenced_name = name;
    }
  }
  const bool is_inline = (by_cid || by_location || !referenced_name.empty()) && a.data.has_value();
  mime::Entity e = NamedLeaf(media_type, name, is_inline);
  // Data read when written; an attachment without data (method 0, or a broken
  // one) still appears, empty, under its name.
  e.source = AttachmentSource(a, context.content);
  if (is_inline) {
    const std::string& where = by_location ? location : referenced_name;
    if (!where.empty() && std::all_of(where.begin(), where.end(), [](char c) { return c > 0x20 && c < 0x7F; })) {
      e.fields.push_back({"Content-Location", where});
    }
    inline_parts.push_back(std::move(e));
    return std::optional<mime::Entity>();
  }
  return std::optional<mime::Entity>(std::move(e));
}

}  // namespace

Result<std::optional<mime::Entity>> AttachmentPart(const Context& context, const msg::Attachment& a,
                                                   const std::set<std::string>& cids, const std::string& lower_html,
                                                   std::vector<mime::Entity>& inline_parts,
                                                   std::string_view made_cid) {
  std::string cid = UsableContentId(a.content_id);
  if (cid.empty()) cid = made_cid;
  const size_t inline_before = inline_parts.size();
  Result<std::optional<mime::Entity>> part = AttachmentEntity(context, a, cid, cids, lower_html, inline_parts);
  if (!part) return part;
  mime::Entity* e = *part ? &**part : inline_parts.size() > inline_before ? &inline_parts.back() : nullptr;
  if (e == nullptr) return part;
  // Every attachment keeps its Content-ID, referred to by the body or not:
  // mail programs and archives refer to attachments by it.
  if (!cid.empty()) e->fields.insert(e->fields.begin(), {"Content-ID", "<" + cid + ">"});
  // The file's own dates, as RFC 2183 carries them.
  if (!e->disposition.empty()) {
    for (const auto& [param, time] : {std::pair{"creation-date", a.creation_time},
                                      std::pair{"modification-date", a.modification_time}}) {
      if (!time) continue;
      if (std::optional<int64_t> seconds = msg::FileTimeToUnixSeconds(*time)) {
        e->disposition_params.push_back({param, mime::FormatDate(*seconds), false});
      }
    }
  }
  return part;
}

std::string SanitizeFileName(std::string_view name) {
  const size_t slash = name.find_last_of("/\\");
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  // Characters a file system forbids (":*?\"<>|", a leading dot, a trailing
  // blank) stay: RFC 2231 carries any character, and the program that saves the
  // attachment decides what its file names may hold. Control characters are no
  // part of a name anyone typed.
  std::string out;
  for (char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) continue;
    out += ch;
  }
  if (out.find_first_not_of(' ') == std::string::npos) out.clear();
  if (out.size() > 255) {
    size_t cut = 255;
    while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
    out.resize(cut);
  }
  return out;
}

}  // namespace formats::eml
