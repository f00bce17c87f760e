// The body of the .eml: which of the item's bodies becomes its one HTML part
// (the HTML body, else the HTML or text wrapped in RTF, else the RTF rendered
// when it is the item's own body, else the plain text, else rendered RTF),
// decoded from its code page to UTF-8, with the pictures of rendered RTF; and
// the references the HTML makes to inline parts.
#include <algorithm>
#include <cctype>
#include <string>

#include "formats/common/ascii.h"
#include "formats/common/codepage.h"
#include "formats/eml/compose_p.h"
#include "formats/mime/media_types.h"
#include "formats/mime/transfer_encoding.h"
#include "formats/rtf/rtf.h"

namespace formats::eml {

namespace {

// Charset named by a <meta> tag within the first few KB of an HTML body.
std::optional<uint32_t> MetaCharsetCodepage(std::string_view html) {
  const std::string head = AsciiLower(html.substr(0, 4096));
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
      if (auto cp = CodepageFromCharsetName(head.substr(i, end - i))) return cp;
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
    return Utf16LeToUtf8({reinterpret_cast<const uint8_t*>(bytes.data()) + 2, bytes.size() - 2});
  } else if (auto meta = MetaCharsetCodepage(bytes)) {
    cp = *meta;
  } else if (usable(m.message_codepage)) {
    cp = m.message_codepage;
  }
  std::string text = DecodeLenient(bytes, cp);
  if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  return text;
}

std::string CleanText(std::string_view text) { return mime::NormalizeLineEnds(RemoveNuls(text)); }

HtmlBody Html(std::string html) { return HtmlBody{CleanText(html), {}, {}, {}, false}; }

bool IsBlank(char32_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0xA0 || c == 0x3000; }

// The characters of UTF-8 text that are not blanks, ASCII letters upper-cased,
// at most `limit` of them.
std::u32string Significant(std::string_view text, size_t limit) {
  std::u32string out;
  size_t i = 0;
  while (i < text.size() && out.size() < limit) {
    char32_t c = static_cast<unsigned char>(text[i]);
    size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
    if (len > text.size() - i) len = text.size() - i;
    if (len > 1) {
      c &= 0xFF >> (len + 1);
      for (size_t k = 1; k < len; ++k) c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    i += len;
    if (IsBlank(c)) continue;
    if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
    out.push_back(c);
  }
  return out;
}

// Whether the RTF (neither HTML nor text wrapped in it) is the item's own body
// rather than a stale copy beside the plain text: Outlook says the two are in
// sync, or the text begins with the characters the RTF's sync tag recorded, or
// the item was written in RTF. The tag is compared without blanks and case,
// which is how it records the text.
bool RtfIsOwnBody(const msg::Message& m) {
  if (m.rtf_in_sync.value_or(false) || m.native_body == 2u) return true;
  if (m.body && !m.rtf_sync_body_tag.empty()) {
    const std::u32string tag = Significant(m.rtf_sync_body_tag, 64);
    return !tag.empty() && Significant(*m.body, tag.size()) == tag;
  }
  return false;
}

// Whether the file leaves open which body is current: no PidTagRtfInSync and
// no PidTagNativeBody. Writers other than Outlook store items like that.
bool SyncUnknown(const msg::Message& m) { return !m.rtf_in_sync && !m.native_body; }

// How many attachment placeholders (\objattph) the RTF holds.
size_t PlaceholderCount(std::string_view rtf) {
  constexpr std::string_view kWord = "\\objattph";
  size_t count = 0;
  for (size_t pos = rtf.find(kWord); pos != std::string_view::npos; pos = rtf.find(kWord, pos + kWord.size())) {
    const size_t after = pos + kWord.size();
    if (after == rtf.size() || !std::isalpha(static_cast<unsigned char>(rtf[after]))) ++count;
  }
  return count;
}

// An RTF whose placeholders are exactly the attachments the item places in its
// text was written with those attachments: it is the letter, not a stale copy.
bool RtfPlacesTheAttachments(const msg::Message& m, std::string_view rtf) {
  const size_t placed = static_cast<size_t>(std::count_if(m.attachments.begin(), m.attachments.end(), [](const msg::Attachment& a) {
    return a.rendering_position && *a.rendering_position != 0xFFFFFFFFu;
  }));
  return placed > 0 && PlaceholderCount(rtf) == placed;
}

// The visible text of HTML, roughly: the body's text without tags, the common
// entities decoded. Enough to compare its start with a plain body.
std::string VisibleText(std::string_view html) {
  const std::string lower = AsciiLower(html.substr(0, 1u << 20));
  size_t pos = lower.find("<body");
  if (pos == std::string::npos) pos = 0;
  std::string out;
  bool in_tag = false;
  for (size_t i = pos; i < lower.size() && out.size() < 4096; ++i) {
    const char c = html[i];
    if (in_tag) {
      in_tag = c != '>';
    } else if (c == '<') {
      in_tag = true;
      out += ' ';
    } else if (c == '&') {
      static constexpr std::pair<std::string_view, char> kEntities[] = {
          {"&nbsp;", ' '}, {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}};
      bool known = false;
      for (const auto& [entity, ch] : kEntities) {
        if (lower.compare(i, entity.size(), entity) == 0) {
          out += ch;
          i += entity.size() - 1;
          known = true;
          break;
        }
      }
      if (!known) out += c;
    } else {
      out += c;
    }
  }
  return out;
}

// Image types every mail reader shows in HTML.
bool IsShownImageType(std::string_view type) {
  return type == "image/png" || type == "image/jpeg" || type == "image/gif" || type == "image/bmp";
}

// What stands at each attachment placeholder of the RTF: the attachments the
// item places in its text (PidTagRenderingPosition) belong to the placeholders
// in the order of their positions. Images there are shown by Content-ID (their
// own, else one made here and recorded in attachment_cids); other attachments
// leave their placeholder empty and stay attachments.
std::vector<std::string> Placeholders(const msg::Message& m, std::string_view cid_suffix,
                                      std::vector<std::string>& attachment_cids) {
  std::vector<size_t> placed;
  for (size_t i = 0; i < m.attachments.size(); ++i) {
    const std::optional<uint32_t>& at = m.attachments[i].rendering_position;
    if (at && *at != 0xFFFFFFFFu) placed.push_back(i);
  }
  std::stable_sort(placed.begin(), placed.end(), [&m](size_t a, size_t b) {
    return *m.attachments[a].rendering_position < *m.attachments[b].rendering_position;
  });
  std::vector<std::string> out;
  for (size_t i : placed) {
    const msg::Attachment& a = m.attachments[i];
    std::string type = mime::NormalizeMediaType(a.mime_tag).value_or("");
    if (type.empty()) type = mime::MediaTypeForFileName(a.filename);
    if (a.method != msg::AttachMethod::kByValue || !a.data || !IsShownImageType(AsciiLower(type))) {
      out.emplace_back();
      continue;
    }
    std::string cid = UsableContentId(a.content_id);
    if (cid.empty()) cid = "attachment" + std::to_string(i + 1) + "." + std::string(cid_suffix);
    attachment_cids[i] = cid;
    std::string img = "<img src=\"cid:" + cid + "\" alt=\"";
    for (char c : SanitizeFileName(a.filename)) {
      img += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '"' ? "&quot;" : std::string(1, c);
    }
    out.push_back(img + "\">");
  }
  return out;
}

// The item's RTF rendered as its HTML body, with the pictures as parts.
std::optional<HtmlBody> RenderedRtfBody(const msg::Message& m, const std::string& rtf, std::string_view cid_suffix) {
  HtmlBody body;
  body.attachment_cids.resize(m.attachments.size());
  rtf::RtfRenderOptions options;
  options.cid_suffix = cid_suffix;
  options.placeholders = Placeholders(m, cid_suffix, body.attachment_cids);
  Result<rtf::RenderedRtf> rendered = rtf::RtfToHtml(rtf, options);
  if (!rendered) return std::nullopt;
  body.html = CleanText(rendered->html);
  for (rtf::RtfPicture& picture : rendered->pictures) {
    mime::Entity e = NamedLeaf(picture.media_type, picture.name, picture.shown);
    e.fields.push_back({"Content-ID", "<" + picture.content_id + ">"});
    e.body = std::move(picture.data);
    e.encoding = mime::TransferEncoding::kBase64;
    (picture.shown ? body.inline_parts : body.attached).push_back(std::move(e));
  }
  return body;
}

}  // namespace

// The HTML of the body, UTF-8, from the first source that has one.
Result<HtmlBody> BodyHtml(const msg::Message& m, const msg::ContentAccess& content, std::string_view cid_suffix) {
  if (m.html && !m.html->empty()) return Html(RewriteMetaCharset(DecodeHtml(m)));

  std::optional<std::string> rtf;
  Result<std::optional<std::string>> compressed = content.ReadCompressedRtf(m);
  if (!compressed) return std::move(compressed).error();
  if (*compressed) {
    Result<std::string> raw = rtf::Decompress(
        {reinterpret_cast<const uint8_t*>((*compressed)->data()), (*compressed)->size()});
    // A broken RTF body is not the end: the plain body may still be there.
    if (raw) rtf = std::move(*raw);
  }
  if (rtf) {
    std::optional<HtmlBody> from_rtf;
    switch (rtf::DetectEncapsulation(*rtf)) {
      case rtf::Encapsulation::kHtml:
        if (Result<std::string> html = rtf::ExtractHtml(*rtf)) from_rtf = Html(RewriteMetaCharset(*html));
        break;
      case rtf::Encapsulation::kText:
        if (Result<std::string> text = rtf::ExtractText(*rtf)) return Html(rtf::PlainTextToHtml(*text));
        break;
      case rtf::Encapsulation::kNone:
        // Absent sync is not stale: an RTF that places the item's attachments
        // is the letter they belong to.
        if (RtfIsOwnBody(m) || (SyncUnknown(m) && RtfPlacesTheAttachments(m, *rtf))) {
          from_rtf = RenderedRtfBody(m, *rtf, cid_suffix);
        }
        break;
    }
    if (from_rtf) {
      // Under unknown sync a plain body that is not this text (a banner some
      // writers put there) is no alternative of it.
      if (SyncUnknown(m) && m.body) {
        const std::u32string plain = Significant(*m.body, 64);
        from_rtf->plain_is_other = plain != Significant(VisibleText(from_rtf->html), plain.size());
      }
      return std::move(*from_rtf);
    }
  }
  if (m.body && !m.body->empty()) return Html(rtf::PlainTextToHtml(*m.body));
  if (rtf) {
    if (std::optional<HtmlBody> body = RenderedRtfBody(m, *rtf, cid_suffix)) return std::move(*body);
  }
  // An empty plain body stays empty: no HTML is built around nothing.
  if (m.body) return HtmlBody{};
  return Html(rtf::PlainTextToHtml(""));
}

std::optional<std::string> BodyText(const msg::Message& m) {
  if (!m.body) return std::nullopt;
  std::string text = CleanText(*m.body);
  if (text.find_first_not_of(" \t\r\n") == std::string::npos) return std::nullopt;
  return text;
}

// Every cid: reference in the HTML, %-decoded and lower-cased (RFC 2392).
std::set<std::string> CidReferences(std::string_view html) {
  std::set<std::string> cids;
  const std::string lower = AsciiLower(html);
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
    if (!id.empty()) cids.insert(AsciiLower(id));
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

std::string RewriteMetaCharset(std::string_view html) {
  std::string out(html);
  const std::string lower = AsciiLower(html);
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
}  // namespace formats::eml
