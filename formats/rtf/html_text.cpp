// Plain text as HTML the way mail clients show it, and the link helpers the
// RTF renderer shares.
#include <algorithm>
#include <cctype>

#include "formats/common/ascii.h"
#include "formats/common/codepage.h"
#include "formats/rtf/rtf.h"
#include "formats/rtf/rtf_p.h"

namespace formats::rtf {

namespace {

// Reads one argument of a field instruction: a quoted string (where "\\" stands
// for one backslash and \" for a quote) or a run up to the next space.
std::string ReadFieldArgument(std::string_view& s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  std::string arg;
  if (!s.empty() && s.front() == '"') {
    s.remove_prefix(1);
    while (!s.empty() && s.front() != '"') {
      if (s.front() == '\\' && s.size() > 1 && (s[1] == '\\' || s[1] == '"')) s.remove_prefix(1);
      arg.push_back(s.front());
      s.remove_prefix(1);
    }
    if (!s.empty()) s.remove_prefix(1);
    return arg;
  }
  while (!s.empty() && s.front() != ' ' && s.front() != '\t') {
    arg.push_back(s.front());
    s.remove_prefix(1);
  }
  return arg;
}

// Length of a URL starting at text[i] ("http://", "https://", "mailto:", "www."
// at a word start), or 0.
size_t UrlLength(std::string_view text, size_t i) {
  if (i > 0) {
    const auto prev = static_cast<unsigned char>(text[i - 1]);
    if (std::isalnum(prev) || prev == '/' || prev == '.' || prev == '@' || prev == '-') return 0;
  }
  const std::string_view rest = text.substr(i);
  size_t scheme = 0;
  for (std::string_view prefix : {"https://", "http://", "mailto:", "www."}) {
    if (StartsWithLowered(rest, prefix)) {
      scheme = prefix.size();
      break;
    }
  }
  if (scheme == 0) return 0;
  size_t end = 0;
  while (end < rest.size()) {
    const auto c = static_cast<unsigned char>(rest[end]);
    if (c <= ' ' || c == '<' || c == '>' || c == '"' || c == '\'' || c >= 0x7F) break;
    ++end;
  }
  // Punctuation that ends a sentence is not part of the address.
  // A closing parenthesis stays when the address opened one (wiki-style links).
  while (end > scheme && std::string_view(".,;:!?)]").find(rest[end - 1]) != std::string_view::npos) {
    if (rest[end - 1] == ')') {
      const std::string_view url = rest.substr(0, end);
      if (std::count(url.begin(), url.end(), '(') >= std::count(url.begin(), url.end(), ')')) break;
    }
    --end;
  }
  return end > scheme ? end : 0;
}

}  // namespace

// Links a reader must not follow from a mail body.
bool IsSafeHref(std::string_view href) {
  while (!href.empty() && static_cast<unsigned char>(href.front()) <= ' ') href.remove_prefix(1);
  return !href.empty() && !StartsWithLowered(href, "javascript:") && !StartsWithLowered(href, "vbscript:") &&
         !StartsWithLowered(href, "data:");
}

// Target of a HYPERLINK field instruction: HYPERLINK "url" [\l "anchor"]
// [\o "tooltip"] ...; nullopt for other fields.
std::optional<std::string> HyperlinkTarget(std::string_view inst) {
  while (!inst.empty() && (inst.front() == ' ' || inst.front() == '\t')) inst.remove_prefix(1);
  if (!StartsWithLowered(inst, "hyperlink")) return std::nullopt;
  inst.remove_prefix(9);
  std::string url, anchor;
  while (true) {
    while (!inst.empty() && (inst.front() == ' ' || inst.front() == '\t')) inst.remove_prefix(1);
    if (inst.empty()) break;
    if (inst.front() == '\\' && inst.size() > 1) {
      const char sw = AsciiLower(inst[1]);
      inst.remove_prefix(2);
      // \l, \o and \t take an argument; \m, \n and \h do not.
      if (sw == 'l') {
        anchor = ReadFieldArgument(inst);
      } else if (sw == 'o' || sw == 't') {
        ReadFieldArgument(inst);
      }
      continue;
    }
    std::string arg = ReadFieldArgument(inst);
    if (url.empty()) url = std::move(arg);
  }
  if (!anchor.empty()) url += "#" + anchor;
  if (url.empty()) return std::nullopt;
  return url;
}

std::string PlainTextToHtml(std::string_view text) {
  std::string out(kHtmlDocumentStart);
  // A <pre> keeps line breaks and spaces even where a viewer strips styles; the
  // style lets long lines wrap where styles are honoured. The line break after
  // the tag is dropped by HTML parsers, so a leading blank line of the text stays.
  out += "<pre style=\"white-space: pre-wrap; word-wrap: break-word\">\r\n";
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      out += "\r\n";
      i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
      continue;
    }
    if (const size_t url = UrlLength(text, i)) {
      const std::string_view address = text.substr(i, url);
      out += "<a href=\"";
      if (StartsWithLowered(address, "www.")) out += "http://";
      AppendEscapedHtml(out, address);
      out += "\">";
      AppendEscapedHtml(out, address);
      out += "</a>";
      i += url;
      continue;
    }
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 && c != '\t') {
      ++i;  // other control characters have no place in HTML text
      continue;
    }
    const size_t len = DecodeUtf8At(text, i).length;
    if (len == 0) {
      AppendUtf8(out, 0xFFFD);
      ++i;
      continue;
    }
    AppendEscapedHtml(out, text.substr(i, len));
    i += len;
  }
  out += "</pre>\r\n";
  out += kHtmlDocumentEnd;
  return out;
}

}  // namespace formats::rtf
