// The body of the .eml: which of the item's bodies becomes its one HTML part
// (the HTML body, else the HTML or text wrapped in RTF, else the plain text, else
// rendered RTF), decoded from its code page to UTF-8; and the references the HTML
// makes to inline parts.
#include <cctype>
#include <string>

#include "formats/common/ascii.h"
#include "formats/common/codepage.h"
#include "formats/eml/compose_p.h"
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

}  // namespace

// The HTML of the body, UTF-8, from the first source that has one.
Result<std::string> BodyHtml(const msg::Message& m, const msg::ContentAccess& content) {
  if (m.html && !m.html->empty()) return CleanText(RewriteMetaCharset(DecodeHtml(m)));

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
    switch (rtf::DetectEncapsulation(*rtf)) {
      case rtf::Encapsulation::kHtml:
        if (Result<std::string> html = rtf::ExtractHtml(*rtf)) {
          return CleanText(RewriteMetaCharset(*html));
        }
        break;
      case rtf::Encapsulation::kText:
        if (Result<std::string> text = rtf::ExtractText(*rtf)) {
          return CleanText(rtf::PlainTextToHtml(*text));
        }
        break;
      case rtf::Encapsulation::kNone:
        break;
    }
  }
  if (m.body && !m.body->empty()) return CleanText(rtf::PlainTextToHtml(*m.body));
  if (rtf) {
    if (Result<std::string> html = rtf::RtfToHtml(*rtf)) return CleanText(*html);
  }
  // An empty plain body stays empty: no HTML is built around nothing.
  if (m.body) return std::string();
  return CleanText(rtf::PlainTextToHtml(""));
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
