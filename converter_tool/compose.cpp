#include "converter_tool/compose.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <memory>
#include <set>

#include "formats/cfb/compound_file.h"
#include "formats/common/codepage.h"
#include "formats/common/limits.h"
#include "formats/common/random.h"
#include "formats/mime/media_types.h"
#include "formats/rtf/rtf.h"

namespace converter {

namespace mime = formats::mime;
namespace msg = formats::msg;
using formats::ErrorCode;
using formats::MakeError;
using formats::Result;
using formats::Status;

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) { return Lower(a) == Lower(b); }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// "IPM.Note" matches "IPM.Note" and "IPM.Note.X", not "IPM.Notebook".
bool HasClassPrefix(std::string_view message_class, std::string_view prefix) {
  return StartsWithNoCase(message_class, prefix) &&
         (message_class.size() == prefix.size() || message_class[prefix.size()] == '.');
}

std::string RemoveNuls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '\0') out += c;
  }
  return out;
}

// --- Body ----------------------------------------------------------------------

// Charset named by a <meta> tag within the first few KB of an HTML body.
std::optional<uint32_t> MetaCharsetCodepage(std::string_view html) {
  const std::string head = Lower(html.substr(0, 4096));
  size_t pos = head.find("charset");
  while (pos != std::string::npos) {
    size_t i = pos + 7;
    while (i < head.size() && (head[i] == ' ' || head[i] == '\t')) ++i;
    if (i < head.size() && head[i] == '=') {
      ++i;
      while (i < head.size() && (head[i] == ' ' || head[i] == '"' || head[i] == '\'')) ++i;
      size_t end = i;
      while (end < head.size() && (std::isalnum(static_cast<unsigned char>(head[end])) || head[end] == '-' ||
                                   head[end] == '_' || head[end] == '.' || head[end] == ':')) {
        ++end;
      }
      if (auto cp = formats::CodepageFromCharsetName(head.substr(i, end - i))) return cp;
    }
    pos = head.find("charset", pos + 7);
  }
  return std::nullopt;
}

// Decodes the binary HTML body: PidTagInternetCodepage, else a byte order mark,
// else the document's own <meta>, else the item's code page, else 1252.
std::string DecodeHtml(const msg::Message& m) {
  std::string_view bytes = *m.html;
  if (m.html_is_utf8) return std::string(bytes);
  auto usable = [](uint32_t cp) { return cp != 0 && cp != 1200 && cp != 1201; };
  uint32_t cp = 1252;
  if (usable(m.internet_codepage)) {
    cp = m.internet_codepage;
  } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    cp = 65001;
  } else if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE") {
    return formats::Utf16LeToUtf8({reinterpret_cast<const uint8_t*>(bytes.data()) + 2, bytes.size() - 2});
  } else if (auto meta = MetaCharsetCodepage(bytes)) {
    cp = *meta;
  } else if (usable(m.message_codepage)) {
    cp = m.message_codepage;
  }
  std::string text = formats::DecodeLenient(bytes, cp);
  if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  return text;
}

std::string CleanText(std::string_view text) { return mime::NormalizeLineEnds(RemoveNuls(text)); }

// The HTML of the body, UTF-8, from the first source that has one.
Result<std::string> BodyHtml(const msg::Message& m, const ContentAccess& content) {
  if (m.html && !m.html->empty()) return CleanText(RewriteMetaCharset(DecodeHtml(m)));

  std::optional<std::string> rtf;
  Result<std::optional<std::string>> compressed = content.ReadCompressedRtf(m);
  if (!compressed) return std::move(compressed).error();
  if (*compressed) {
    Result<std::string> raw = formats::rtf::Decompress(
        {reinterpret_cast<const uint8_t*>((*compressed)->data()), (*compressed)->size()});
    // A broken RTF body is not the end: the plain body may still be there.
    if (raw) rtf = std::move(*raw);
  }
  if (rtf) {
    switch (formats::rtf::DetectEncapsulation(*rtf)) {
      case formats::rtf::Encapsulation::kHtml:
        if (Result<std::string> html = formats::rtf::ExtractHtml(*rtf)) {
          return CleanText(RewriteMetaCharset(*html));
        }
        break;
      case formats::rtf::Encapsulation::kText:
        if (Result<std::string> text = formats::rtf::ExtractText(*rtf)) {
          return CleanText(formats::rtf::PlainTextToHtml(*text));
        }
        break;
      case formats::rtf::Encapsulation::kNone:
        break;
    }
  }
  if (m.body && !m.body->empty()) return CleanText(formats::rtf::PlainTextToHtml(*m.body));
  if (rtf) {
    if (Result<std::string> html = formats::rtf::RtfToHtml(*rtf)) return CleanText(*html);
  }
  return CleanText(formats::rtf::PlainTextToHtml(m.body.value_or("")));
}

// Every cid: reference in the HTML, %-decoded and lower-cased (RFC 2392).
std::set<std::string> CidReferences(std::string_view html) {
  std::set<std::string> cids;
  const std::string lower = Lower(html);
  size_t pos = 0;
  while ((pos = lower.find("cid:", pos)) != std::string::npos) {
    pos += 4;
    size_t end = pos;
    while (end < lower.size() && std::string_view("\"'()<> \t\r\n").find(lower[end]) == std::string_view::npos) ++end;
    std::string id;
    for (size_t i = pos; i < end; ++i) {
      if (lower[i] == '%' && i + 2 < end && std::isxdigit(static_cast<unsigned char>(lower[i + 1])) &&
          std::isxdigit(static_cast<unsigned char>(lower[i + 2]))) {
        id += static_cast<char>(std::stoi(std::string(lower.substr(i + 1, 2)), nullptr, 16));
        i += 2;
      } else {
        id += lower[i];
      }
    }
    if (!id.empty()) cids.insert(Lower(id));
    pos = end;
  }
  return cids;
}

// Content-ID without angle brackets when it can stand in a header; empty otherwise.
std::string UsableContentId(std::string_view id) {
  while (!id.empty() && (id.front() == ' ' || id.front() == '<')) id.remove_prefix(1);
  while (!id.empty() && (id.back() == ' ' || id.back() == '>')) id.remove_suffix(1);
  if (id.empty() || id.size() > 900) return "";
  for (char ch : id) {
    const auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c >= 0x7F || c == '<' || c == '>') return "";
  }
  return std::string(id);
}


// --- Addresses from the transport headers -------------------------------------

// The mailboxes of one field ("From", "To", "Cc") of a received item's original
// Internet header block. Only well-formed addresses are kept.
std::vector<mime::Mailbox> HeaderMailboxes(std::string_view headers, std::string_view field) {
  std::vector<mime::Mailbox> out;
  // Unfold the field's value.
  std::string value;
  bool in_field = false;
  size_t pos = 0;
  while (pos < headers.size()) {
    size_t end = headers.find('\n', pos);
    if (end == std::string_view::npos) end = headers.size();
    std::string_view line = headers.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos = end + 1;
    if (line.empty()) break;  // end of the header block
    if (line.front() == ' ' || line.front() == '\t') {
      if (in_field) value += line;
      continue;
    }
    if (in_field) break;
    if (line.size() > field.size() && line[field.size()] == ':' && EqualsNoCase(line.substr(0, field.size()), field)) {
      in_field = true;
      value = line.substr(field.size() + 1);
    }
  }
  // Split at commas outside quotes and angle brackets.
  std::vector<std::string> items(1);
  bool quoted = false;
  int angle = 0;
  for (char c : value) {
    if (c == '"') quoted = !quoted;
    if (!quoted && c == '<') ++angle;
    if (!quoted && c == '>' && angle > 0) --angle;
    if (c == ',' && !quoted && angle == 0) {
      items.emplace_back();
    } else {
      items.back() += c;
    }
  }
  auto trim = [](std::string s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '"')) s.erase(0, 1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '"')) s.pop_back();
    return s;
  };
  for (const std::string& item : items) {
    mime::Mailbox m;
    const size_t open = item.rfind('<');
    const size_t close = item.rfind('>');
    if (open != std::string::npos && close != std::string::npos && close > open) {
      m.address = trim(item.substr(open + 1, close - open - 1));
      m.display_name = trim(item.substr(0, open));
    } else {
      m.address = trim(item);
    }
    if (mime::IsMailAddress(m.address)) out.push_back(std::move(m));
  }
  return out;
}


// --- Clear-signed bodies ---------------------------------------------------------

constexpr size_t kMaxSignedHeaderBytes = 64 * 1024;

struct SignedEntityHead {
  std::string fields;  // the entity's header fields we keep, CR LF lines, no blank line
  uint64_t length = 0;  // bytes of the stored header block up to (not including) the blank line
};

// The header block at the start of a stored signed entity. Outlook keeps a few
// outer fields there (MIME-Version, X-MimeOLE) besides Content-Type; Content-*
// and X-* fields are kept, the rest (MIME-Version and anything addressing) is
// already in the message's own header. The signature covers only what follows
// the blank line, which is passed on untouched.
std::optional<SignedEntityHead> ParseSignedEntityHead(std::string_view bytes) {
  SignedEntityHead head;
  bool has_signed_type = false;
  bool keep = false;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find('\n', pos);
    if (end == std::string_view::npos) return std::nullopt;  // no blank line within the limit
    std::string_view line = bytes.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) {
      if (!has_signed_type) return std::nullopt;
      head.length = pos;
      return head;
    }
    if (line.front() == ' ' || line.front() == '\t') {
      if (pos == 0) return std::nullopt;
    } else {
      const size_t colon = line.find(':');
      if (colon == std::string_view::npos || colon == 0) return std::nullopt;
      for (char c : line.substr(0, colon)) {
        if (c <= 0x20 || c >= 0x7F) return std::nullopt;
      }
      const std::string_view name = line.substr(0, colon);
      // Only the entity's own fields: addressing fields there would repeat (or
      // contradict) the message's header written above them.
      keep = StartsWithNoCase(name, "Content-") || StartsWithNoCase(name, "X-");
      if (EqualsNoCase(name, "Content-Type")) {
        std::string_view value = line.substr(colon + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
        has_signed_type = StartsWithNoCase(value, "multipart/signed");
      }
    }
    if (keep) {
      head.fields += line;
      head.fields += "\r\n";
    }
    pos = end + 1;
  }
  return std::nullopt;
}

// --- Attachments -----------------------------------------------------------------

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

// Media type for a leaf: the tag when it is a simple type, else by extension.
// Composite types (multipart/*, message/*) cannot be base64-encoded leaves, so
// such bytes go out as application/octet-stream under their own name.
std::string LeafMediaType(const msg::Attachment& a) {
  std::string type;
  if (auto tag = mime::NormalizeMediaType(a.mime_tag)) {
    type = *tag;
  } else {
    std::string name = a.filename;
    if (name.find('.') == std::string::npos) name += a.extension;
    type = mime::MediaTypeForFileName(name);
  }
  if (StartsWithNoCase(type, "multipart/") || StartsWithNoCase(type, "message/")) {
    type = "application/octet-stream";
  }
  return type;
}

mime::Entity NamedLeaf(std::string media_type, const std::string& name, bool inline_part) {
  mime::Entity e;
  e.media_type = std::move(media_type);
  e.type_params = {{"name", name, true}};
  e.disposition = inline_part ? "inline" : "attachment";
  e.disposition_params = {{"filename", name, false}};
  return e;
}

mime::ChunkSource AttachmentSource(const msg::Attachment& a, const ContentAccess& content) {
  return [&a, &content](const mime::ChunkFn& fn) { return content.StreamAttachment(a, fn); };
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

class Composer {
 public:
  Composer(const ContentAccess& content, const ComposeOptions& options) : content_(content), options_(options) {}

  Result<mime::Message> Compose(const msg::Message& m, bool top_level) {
    if (top_level && !IsMailClass(m.message_class)) {
      return MakeError(ErrorCode::kNotMail, 0, "Item is not a mail message (" + m.message_class + ")");
    }
    mime::Message out;
    Result<std::vector<std::string>> fields = HeaderFields(m, top_level);
    if (!fields) return std::move(fields).error();
    out.fields = std::move(*fields);

    if (Result<std::optional<mime::Entity>> smime = SmimeBody(m); !smime) {
      return std::move(smime).error();
    } else if (*smime) {
      out.body = std::move(**smime);
      return out;
    }

    Result<std::string> html = BodyHtml(m, content_);
    if (!html) return std::move(html).error();
    const std::set<std::string> cids = CidReferences(*html);
    const std::string lower_html = Lower(*html);

    mime::Entity html_part;
    html_part.media_type = "text/html";
    html_part.type_params = {{"charset", "utf-8", false}};
    html_part.body = std::move(*html);

    std::vector<mime::Entity> inline_parts;
    std::vector<mime::Entity> attached;
    for (const msg::Attachment& a : m.attachments) {
      Result<std::optional<mime::Entity>> part = AttachmentPart(a, cids, lower_html, inline_parts);
      if (!part) return std::move(part).error();
      if (*part) attached.push_back(std::move(**part));
    }

    mime::Entity body = std::move(html_part);
    if (!inline_parts.empty()) {
      mime::Entity related;
      related.kind = mime::Entity::Kind::kMultipart;
      related.media_type = "multipart/related";
      related.type_params = {{"type", "text/html", false}};
      related.parts.push_back(std::move(body));
      for (mime::Entity& p : inline_parts) related.parts.push_back(std::move(p));
      body = std::move(related);
    }
    if (!attached.empty()) {
      mime::Entity mixed;
      mixed.kind = mime::Entity::Kind::kMultipart;
      mixed.media_type = "multipart/mixed";
      mixed.parts.push_back(std::move(body));
      for (mime::Entity& p : attached) mixed.parts.push_back(std::move(p));
      body = std::move(mixed);
    }
    out.body = std::move(body);
    return out;
  }

  // The one line that says why an item has no usable sender: users act on it
  // (a draft cannot be converted; an internal sender needs the SMTP address).
  static std::string NoSenderReason(const msg::Message& m) {
    constexpr char kPrefix[] = "Sender has no Internet mail address";
    const msg::Address* known = nullptr;
    for (const msg::Address* group : {&m.sender, &m.sent_representing}) {
      if (!known && (!group->address.empty() || !group->name.empty())) known = group;
    }
    if (known == nullptr) return std::string(kPrefix) + " (the item has no sender: an unsent draft)";
    const std::string who = RemoveNuls(known->name.empty() ? known->address : known->name);
    if (known->address_type == "EX") {
      return std::string(kPrefix) + " (\"" + who + "\" has only an Exchange address and the file holds no SMTP address)";
    }
    if (known->address.empty()) return std::string(kPrefix) + " (\"" + who + "\" has no address)";
    return std::string(kPrefix) + " (\"" + RemoveNuls(known->address) + "\" is not an Internet mail address)";
  }

 private:
  Result<std::vector<std::string>> HeaderFields(const msg::Message& m, bool top_level) {
    std::vector<std::string> fields;
    std::optional<int64_t> date;
    for (const auto& t : {m.client_submit_time, m.delivery_time, m.creation_time}) {
      if (t && !date) date = mime::FileTimeToUnixSeconds(*t);
    }
    fields.push_back("Date: " + mime::FormatDate(date ? *date : Now()) + "\r\n");

    // From: the sender; the represented owner when the sender group is absent.
    std::optional<mime::Mailbox> from;
    for (const msg::Address* group : {&m.sender, &m.sent_representing}) {
      if (auto address = InternetAddress(*group)) {
        from = mime::Mailbox{RemoveNuls(group->name), *address};
        break;
      }
    }
    if (!from) {
      // An Exchange sender of a received item: its original header says who it was.
      std::vector<mime::Mailbox> header_from = HeaderMailboxes(m.transport_headers, "From");
      if (!header_from.empty()) {
        from = header_from.front();
        if (!m.sender.name.empty()) from->display_name = RemoveNuls(m.sender.name);
      }
    }
    if (from) {
      fields.push_back(mime::FoldAddressList("From", {*from}));
    } else if (top_level) {
      return MakeError(ErrorCode::kNoSender, 0, NoSenderReason(m));
    }
    // An embedded item without a sender (a draft, a forwarded unsent message) is
    // still carried, only without From: dropping it would lose the attachment.

    std::vector<mime::Mailbox> lists[3];
    for (const msg::Recipient& r : m.recipients) {
      // Resend flags (0x10000000, 0x80000000) may be OR-ed into the type.
      const uint32_t type = static_cast<uint32_t>(r.type) & 0xFF;
      if (type < 1 || type > 3) continue;
      std::optional<std::string> address = InternetAddress(r);
      if (!address) address = AddressFromHeaders(m, r, type);
      if (!address) {
        if (!top_level) continue;
        const std::string who = !r.name.empty() ? r.name : r.address;
        return MakeError(ErrorCode::kBadAddress, 0, "Recipient \"" + who + "\" has no Internet mail address");
      }
      lists[type - 1].push_back({RemoveNuls(r.name), *address});
    }
    static constexpr const char* kListNames[] = {"To", "Cc", "Bcc"};
    for (int i = 0; i < 3; ++i) {
      if (!lists[i].empty()) fields.push_back(mime::FoldAddressList(kListNames[i], lists[i]));
    }
    fields.push_back(mime::FoldUnstructured("Subject", RemoveNuls(m.subject)));

    std::string id;
    if (auto own = mime::NormalizeMessageId(m.internet_message_id)) {
      id = *own;
    } else {
      std::string domain = "mailvane.invalid";
      if (from) {
        const std::string right = from->address.substr(from->address.rfind('@') + 1);
        if (mime::NormalizeMessageId("x@" + right)) domain = right;
      }
      id = "<" + RandomHex() + "." + std::to_string(date ? *date : Now()) + "@" + domain + ">";
    }
    fields.push_back("Message-ID: " + id + "\r\n");
    if (auto ids = mime::MessageIdList(m.in_reply_to); !ids.empty()) {
      fields.push_back(mime::FoldTokens("In-Reply-To", ids));
    }
    if (auto ids = mime::MessageIdList(m.references); !ids.empty()) {
      fields.push_back(mime::FoldTokens("References", ids));
    }
    fields.push_back("MIME-Version: 1.0\r\n");
    return fields;
  }

  // An Exchange recipient of a received item, found in the original To or Cc
  // header: by display name, or as the only one when the field and the item both
  // have exactly one.
  static std::optional<std::string> AddressFromHeaders(const msg::Message& m, const msg::Recipient& r, uint32_t type) {
    if (type == 3 || m.transport_headers.empty()) return std::nullopt;
    const std::vector<mime::Mailbox> listed = HeaderMailboxes(m.transport_headers, type == 1 ? "To" : "Cc");
    for (const mime::Mailbox& box : listed) {
      if (!r.name.empty() && (EqualsNoCase(box.display_name, r.name) || EqualsNoCase(box.address, r.name))) {
        return box.address;
      }
    }
    const auto same_type = std::count_if(m.recipients.begin(), m.recipients.end(), [type](const msg::Recipient& x) {
      return (static_cast<uint32_t>(x.type) & 0xFF) == type;
    });
    if (listed.size() == 1 && same_type == 1) return listed.front().address;
    return std::nullopt;
  }

  // Clear-signed items carry the signed entity as their one attachment; written
  // unchanged it keeps the signature valid. Opaque S/MIME keeps its CMS blob.
  Result<std::optional<mime::Entity>> SmimeBody(const msg::Message& m) {
    const bool signed_class = EndsWithNoCase(m.message_class, ".SMIME.MultipartSigned");
    const bool smime_class = EndsWithNoCase(m.message_class, ".SMIME");
    if (!signed_class && !smime_class) return std::optional<mime::Entity>();
    for (const msg::Attachment& a : m.attachments) {
      if (!a.data) continue;
      const std::string tag = Lower(a.mime_tag);
      if (tag == "multipart/signed" || (signed_class && m.attachments.size() == 1)) {
        Result<std::string> prefix = content_.ReadAttachmentPrefix(a, kMaxSignedHeaderBytes);
        if (!prefix) return std::move(prefix).error();
        std::optional<SignedEntityHead> head = ParseSignedEntityHead(*prefix);
        // Bytes that do not open with a header block naming the multipart/signed
        // type are not the signed entity: the item is then ordinary mail.
        if (!head) continue;
        mime::Entity e;
        e.kind = mime::Entity::Kind::kVerbatim;
        const ContentAccess& content = content_;
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
                       EndsWithNoCase(a.filename, ".p7m");
      if (smime_class && p7m) {
        mime::Entity e = NamedLeaf("application/pkcs7-mime", "smime.p7m", false);
        e.source = AttachmentSource(a, content_);
        return std::optional<mime::Entity>(std::move(e));
      }
    }
    return std::optional<mime::Entity>();
  }

  // The part for one attachment: inline images go to inline_parts (nullopt is
  // returned), everything else comes back for multipart/mixed.
  Result<std::optional<mime::Entity>> AttachmentPart(const msg::Attachment& a, const std::set<std::string>& cids,
                                                     const std::string& lower_html,
                                                     std::vector<mime::Entity>& inline_parts) {
    if (a.method == msg::AttachMethod::kEmbeddedMessage && a.embedded) {
      Result<mime::Message> inner = Compose(*a.embedded, false);
      if (!inner) return std::move(inner).error();
      std::string name = SanitizeFileName(a.filename);
      if (name.empty()) name = SanitizeFileName(a.embedded->subject);
      if (name.empty()) name = "message";
      if (EndsWithNoCase(name, ".msg")) name.resize(name.size() - 4);
      if (!EndsWithNoCase(name, ".eml")) name += ".eml";
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
        Result<std::optional<mime::ChunkSource>> ole = content_.OleData(a);
        if (!ole) return std::move(ole).error();
        mime::Entity e = NamedLeaf(media_type, name, false);
        if (*ole) {
          e.source = std::move(**ole);
        } else {
          e.source = [](const mime::ChunkFn&) { return Status(); };
        }
        return std::optional<mime::Entity>(std::move(e));
      }
      default:
        break;
    }

    if (a.method == msg::AttachMethod::kByValue && a.data) {
      Result<std::optional<mime::Entity>> message = StoredMessagePart(a, name);
      if (!message) return std::move(message).error();
      if (*message) return message;
    }

    const std::string cid = UsableContentId(a.content_id);
    const std::string location = RemoveNuls(a.content_location);
    const bool by_cid = !cid.empty() && cids.count(Lower(cid)) > 0;
    const bool by_location = !location.empty() && location.size() <= 900 &&
                             lower_html.find(Lower(location)) != std::string::npos;
    // Some writers refer to an image by its bare file name (src="image001.jpg");
    // beside the HTML with that Content-Location, the reference resolves.
    std::string referenced_name;
    if (!by_cid && !by_location && !name.empty()) {
      const std::string lower_name = Lower(name);
      if (lower_html.find("src=\"" + lower_name + "\"") != std::string::npos ||
          lower_html.find("src='" + lower_name + "'") != std::string::npos) {
        referenced_name = name;
      }
    }
    const bool is_inline = (by_cid || by_location || !referenced_name.empty()) && a.data.has_value();
    mime::Entity e = NamedLeaf(media_type, name, is_inline);
    // Data read when written; an attachment without data (method 0, or a broken
    // one) still appears, empty, under its name.
    e.source = AttachmentSource(a, content_);
    if (is_inline) {
      if (!cid.empty()) e.fields.push_back({"Content-ID", "<" + cid + ">"});
      const std::string& where = by_location ? location : referenced_name;
      if (!where.empty() && std::all_of(where.begin(), where.end(), [](char c) { return c > 0x20 && c < 0x7F; })) {
        e.fields.push_back({"Content-Location", where});
      }
      inline_parts.push_back(std::move(e));
      return std::optional<mime::Entity>();
    }
    return std::optional<mime::Entity>(std::move(e));
  }

  // A stored Internet message (.eml attached by value) goes out as
  // message/rfc822 when its bytes can stand in a 7bit part as they are: ASCII,
  // CR LF lines of at most 998 characters, starting with a header field. Anything
  // else stays a base64 attachment, which keeps its bytes just as well.
  Result<std::optional<mime::Entity>> StoredMessagePart(const msg::Attachment& a, const std::string& name) {
    constexpr uint64_t kMaxInlineMessageBytes = 16u << 20;
    const std::optional<std::string> tag = mime::NormalizeMediaType(a.mime_tag);
    const bool is_message = tag ? *tag == "message/rfc822" : EndsWithNoCase(name, ".eml");
    if (!is_message || a.data->size() == 0 || a.data->size() > kMaxInlineMessageBytes) {
      return std::optional<mime::Entity>();
    }
    Result<std::string> bytes = content_.ReadAttachmentPrefix(a, kMaxInlineMessageBytes);
    if (!bytes) return std::move(bytes).error();
    const mime::BodyScan scan = mime::ScanBody(*bytes);
    const size_t colon = bytes->find(':');
    const bool starts_with_field = colon != std::string::npos && colon > 0 && colon < bytes->find("\r\n");
    if (scan.eight_bit || scan.nuls || scan.bare_cr || scan.bare_lf || scan.controls ||
        scan.longest_line > mime::kMaxLineLength || !starts_with_field) {
      return std::optional<mime::Entity>();
    }
    mime::Entity e;
    e.media_type = "message/rfc822";
    e.encoding = mime::TransferEncoding::k7bit;
    e.disposition = "attachment";
    e.disposition_params = {{"filename", name, false}};
    e.body = std::move(*bytes);
    return std::optional<mime::Entity>(std::move(e));
  }

  int64_t Now() const {
    if (options_.now) return options_.now();
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
  }

  std::string RandomHex() const {
    if (options_.random_hex) return options_.random_hex();
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (int i = 0; i < 4; ++i) {
      uint32_t v = formats::RandomU32();
      for (int k = 0; k < 8; ++k, v >>= 4) out += kDigits[v & 15];
    }
    return out;
  }

  const ContentAccess& content_;
  const ComposeOptions& options_;
};

// Forwards compound file chunks to a ChunkFn, keeping the first error it gives.
Status ForwardChunks(const formats::cfb::CompoundFile& file, formats::cfb::EntryId id, uint64_t skip,
                     uint64_t length, const mime::ChunkFn& fn) {
  Status failure;
  Status st = file.ForEachChunk(id, [&](formats::Bytes chunk) {
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

// The payload of an \1Ole10Native stream (an object packaged by the shell): u32
// size, u16 flags, label and source path as NUL-terminated strings, u16 x2, u32
// length + temporary path, u32 length + the file's bytes. nullopt when the
// stream does not have that shape.
std::optional<std::pair<uint64_t, uint64_t>> Ole10NativePayload(std::string_view head, uint64_t stream_size) {
  formats::ByteReader r({reinterpret_cast<const uint8_t*>(head.data()), head.size()});
  if (!r.ReadU32Le() || !r.ReadU16Le()) return std::nullopt;
  for (int s = 0; s < 2; ++s) {
    while (true) {
      auto c = r.ReadU8();
      if (!c) return std::nullopt;
      if (*c == 0) break;
    }
  }
  if (!r.Skip(4)) return std::nullopt;
  auto temp_len = r.ReadU32Le();
  if (!temp_len || !r.Skip(*temp_len)) return std::nullopt;
  auto data_len = r.ReadU32Le();
  if (!data_len) return std::nullopt;
  const uint64_t offset = r.offset();
  if (*data_len > stream_size - offset) return std::nullopt;
  return std::make_pair(offset, uint64_t{*data_len});
}

}  // namespace

bool IsMailClass(std::string_view message_class) {
  if (message_class.empty() || EqualsNoCase(message_class, "IPM")) return true;
  for (std::string_view prefix : {"IPM.Note", "IPM.Schedule.Meeting", "REPORT.IPM.Note", "REPORT.IPM.Schedule.Meeting"}) {
    if (HasClassPrefix(message_class, prefix)) return true;
  }
  return false;
}

std::optional<std::string> InternetAddress(const msg::Address& address) {
  const std::string smtp = RemoveNuls(address.smtp_address);
  if (mime::IsMailAddress(smtp)) return smtp;
  const std::string own = RemoveNuls(address.address);
  const bool smtp_type = EqualsNoCase(address.address_type, "SMTP");
  // Some writers leave the type empty for plain Internet addresses.
  const bool looks_smtp = address.address_type.empty() && own.find('/') == std::string::npos;
  if ((smtp_type || looks_smtp) && mime::IsMailAddress(own)) return own;
  return std::nullopt;
}

std::string SanitizeFileName(std::string_view name) {
  const size_t slash = name.find_last_of("/\\");
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  std::string out;
  for (char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F || std::string_view(":*?\"<>|").find(ch) != std::string_view::npos) continue;
    out += ch;
  }
  while (!out.empty() && (out.front() == ' ' || out.front() == '.')) out.erase(0, 1);
  while (!out.empty() && (out.back() == ' ' || out.back() == '.')) out.pop_back();
  if (out.size() > 255) {
    size_t cut = 255;
    while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
    out.resize(cut);
  }
  return out;
}

std::string RewriteMetaCharset(std::string_view html) {
  std::string out(html);
  const std::string lower = Lower(html);
  size_t pos = 0;
  // Offsets in `lower` stay valid: every replacement keeps track of the shift.
  int64_t shift = 0;
  while ((pos = lower.find("<meta", pos)) != std::string::npos) {
    const size_t end = lower.find('>', pos);
    if (end == std::string::npos) break;
    size_t c = lower.find("charset", pos);
    if (c != std::string::npos && c < end) {
      size_t i = c + 7;
      while (i < end && (lower[i] == ' ' || lower[i] == '\t')) ++i;
      if (i < end && lower[i] == '=') {
        ++i;
        while (i < end && (lower[i] == ' ' || lower[i] == '"' || lower[i] == '\'')) ++i;
        size_t v = i;
        while (v < end && (std::isalnum(static_cast<unsigned char>(lower[v])) || lower[v] == '-' || lower[v] == '_' ||
                           lower[v] == '.' || lower[v] == ':')) {
          ++v;
        }
        if (v > i) {
          out.replace(static_cast<size_t>(static_cast<int64_t>(i) + shift), v - i, "utf-8");
          shift += 5 - static_cast<int64_t>(v - i);
        }
      }
    }
    pos = end + 1;
  }
  return out;
}

Result<mime::Message> ComposeMessage(const msg::Message& message, const ContentAccess& content,
                                     const ComposeOptions& options) {
  Composer composer(content, options);
  return composer.Compose(message, true);
}

Status CompoundFileContent::StreamAttachment(const msg::Attachment& attachment, const mime::ChunkFn& fn) const {
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

Result<std::string> CompoundFileContent::ReadAttachmentPrefix(const msg::Attachment& attachment,
                                                              size_t max_bytes) const {
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

Result<std::optional<std::string>> CompoundFileContent::ReadCompressedRtf(const msg::Message& message) const {
  if (!message.rtf_compressed) return std::optional<std::string>();
  Result<std::vector<uint8_t>> bytes = message.rtf_compressed->ReadAll(formats::limits::kMaxRtfBytes);
  // An unreadable RTF body only loses that rendering; the other bodies remain.
  if (!bytes) return std::optional<std::string>();
  return std::optional<std::string>(std::string(bytes->begin(), bytes->end()));
}

Result<std::optional<mime::ChunkSource>> CompoundFileContent::OleData(const msg::Attachment& attachment) const {
  using formats::cfb::EntryId;
  const EntryId storage = *attachment.object_storage;
  const formats::cfb::CompoundFile& file = file_;
  auto whole = [&file](EntryId id) -> mime::ChunkSource {
    return [&file, id](const mime::ChunkFn& fn) { return ForwardChunks(file, id, 0, UINT64_MAX, fn); };
  };
  // A packaged file: its own bytes.
  if (auto native = file.FindChild(storage, "\x01Ole10Native"); native && file.entry(*native).is_stream()) {
    std::string prefix;
    Status st = file.ForEachChunk(*native, [&](formats::Bytes chunk) {
      prefix.append(reinterpret_cast<const char*>(chunk.data()), std::min<size_t>(chunk.size(), 65536 - prefix.size()));
      return prefix.size() < 65536;
    });
    if (!st) return std::move(st).error();
    if (auto payload = Ole10NativePayload(prefix, file.entry(*native).size)) {
      const EntryId id = *native;
      // Plain copies, not a structured binding: clang 14 cannot capture those.
      const uint64_t offset = payload->first;
      const uint64_t length = payload->second;
      return std::optional<mime::ChunkSource>([&file, id, offset, length](const mime::ChunkFn& fn) {
        return ForwardChunks(file, id, offset, length, fn);
      });
    }
    return std::optional<mime::ChunkSource>(whole(*native));
  }
  // An OOXML document embedded as its package, or an object's native contents.
  for (std::string_view name : {"Package", "CONTENTS"}) {
    if (auto id = file.FindChild(storage, name); id && file.entry(*id).is_stream()) {
      return std::optional<mime::ChunkSource>(whole(*id));
    }
  }
  // Otherwise the largest stream (Word's WordDocument, Excel's Workbook, ...).
  std::optional<EntryId> largest;
  for (EntryId child : file.Children(storage)) {
    const auto& e = file.entry(child);
    if (e.is_stream() && (!largest || e.size > file.entry(*largest).size)) largest = child;
  }
  if (!largest) return std::optional<mime::ChunkSource>();
  return std::optional<mime::ChunkSource>(whole(*largest));
}

}  // namespace converter
