// Rendering ordinary RTF as HTML, and plain text as HTML the way mail clients
// show it.
//
// RtfToHtml is a single pass: text is written as it comes, character formatting
// opens tags lazily before the next text that needs them, and paragraphs, table
// cells and rows close what is open. Nothing is kept per paragraph, so memory is
// the output plus the group stack.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>

#include "formats/common/ascii.h"
#include "formats/common/codepage.h"
#include "formats/common/limits.h"
#include "formats/rtf/rtf.h"
#include "formats/rtf/rtf_p.h"

namespace formats::rtf {

namespace {

constexpr std::string_view kDocumentStart =
    "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<meta charset=\"utf-8\">\r\n</head>\r\n<body>\r\n";
constexpr std::string_view kDocumentEnd = "</body>\r\n</html>\r\n";

// Pictures above this many bytes of image data are dropped rather than inlined:
// a data: URL of that size is more than mail viewers display comfortably.
constexpr size_t kMaxInlinePictureBytes = 8u << 20;

// Links a reader must not follow from a mail body.
bool IsSafeHref(std::string_view href) {
  while (!href.empty() && static_cast<unsigned char>(href.front()) <= ' ') href.remove_prefix(1);
  return !href.empty() && !StartsWithLowered(href, "javascript:") && !StartsWithLowered(href, "vbscript:") &&
         !StartsWithLowered(href, "data:");
}

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

void AppendBase64(std::string& out, std::string_view data) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  size_t i = 0;
  for (; i + 3 <= data.size(); i += 3) {
    const uint32_t v = (static_cast<uint8_t>(data[i]) << 16) | (static_cast<uint8_t>(data[i + 1]) << 8) |
                       static_cast<uint8_t>(data[i + 2]);
    out.push_back(kAlphabet[v >> 18]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(kAlphabet[(v >> 6) & 63]);
    out.push_back(kAlphabet[v & 63]);
  }
  if (i + 1 == data.size()) {
    const uint32_t v = static_cast<uint8_t>(data[i]) << 16;
    out.push_back(kAlphabet[v >> 18]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out += "==";
  } else if (i + 2 == data.size()) {
    const uint32_t v = (static_cast<uint8_t>(data[i]) << 16) | (static_cast<uint8_t>(data[i + 1]) << 8);
    out.push_back(kAlphabet[v >> 18]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(kAlphabet[(v >> 6) & 63]);
    out.push_back('=');
  }
}

std::string HexColor(const Color& c) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.red, c.green, c.blue);
  return buf;
}

// What decides the tags around a piece of text.
struct Format {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strike = false;
  int8_t vertical = 0;
  int32_t font_size = 24;
  int32_t color = 0;
  int32_t highlight = 0;
  int32_t link = -1;
  bool operator==(const Format&) const = default;
};

struct Field {
  std::string instruction;
  std::optional<std::string> href;  // set once the instruction is complete
};

enum class PictureType { kNone, kPng, kJpeg, kOther };

class HtmlRenderer : public Interpreter {
 public:
  explicit HtmlRenderer(std::string_view rtf) : Interpreter(rtf), text_(&html_, true), inst_(&inst_text_, false) {}

  Result<std::string> Render() {
    html_ = kDocumentStart;
    Run();
    if (too_large_) return MakeError(ErrorCode::kLimitExceeded, 0, "HTML rendered from RTF is larger than the limit");
    CloseFormat();
    CloseParagraph();
    CloseTable();
    html_ += kDocumentEnd;
    return std::move(html_);
  }

 private:
  bool CheckSize() {
    if (html_.size() > limits::kMaxRtfHtmlBytes) {
      too_large_ = true;
      stop_ = true;
    }
    return !too_large_;
  }

  Format CurrentFormat() {
    const GroupState& s = state();
    Format f;
    f.bold = s.bold;
    f.italic = s.italic;
    f.underline = s.underline;
    f.strike = s.strike;
    f.vertical = s.vertical;
    f.font_size = s.font_size;
    f.color = s.color;
    f.highlight = s.highlight;
    f.link = s.link >= 0 && s.link < static_cast<int32_t>(fields_.size()) && fields_[s.link].href ? s.link : -1;
    return f;
  }

  const Color* ColorAt(int32_t index) const {
    if (index <= 0 || static_cast<size_t>(index) >= colors().size()) return nullptr;
    const Color& c = colors()[index];
    return c.set ? &c : nullptr;
  }

  void OpenFormat(const Format& f) {
    if (f.link >= 0) {
      html_ += "<a href=\"";
      AppendEscapedHtml(html_, *fields_[f.link].href);
      html_ += "\">";
    }
    if (f.bold) html_ += "<b>";
    if (f.italic) html_ += "<i>";
    if (f.underline) html_ += "<u>";
    if (f.strike) html_ += "<s>";
    if (f.vertical > 0) html_ += "<sup>";
    if (f.vertical < 0) html_ += "<sub>";
    std::string style;
    if (f.font_size != 24) {
      style += "font-size:" + std::to_string(f.font_size / 2) + (f.font_size % 2 ? ".5pt;" : "pt;");
    }
    if (const Color* c = ColorAt(f.color)) style += "color:" + HexColor(*c) + ";";
    if (const Color* c = ColorAt(f.highlight)) style += "background-color:" + HexColor(*c) + ";";
    if (!style.empty()) html_ += "<span style=\"" + style + "\">";
    open_ = f;
    open_style_ = !style.empty();
    format_open_ = true;
  }

  void CloseFormat() {
    text_.Flush();
    if (!format_open_) return;
    if (open_style_) html_ += "</span>";
    if (open_.vertical < 0) html_ += "</sub>";
    if (open_.vertical > 0) html_ += "</sup>";
    if (open_.strike) html_ += "</s>";
    if (open_.underline) html_ += "</u>";
    if (open_.italic) html_ += "</i>";
    if (open_.bold) html_ += "</b>";
    if (open_.link >= 0) html_ += "</a>";
    format_open_ = false;
  }

  void CloseParagraph() {
    if (!paragraph_open_) return;
    html_ += "</div>\r\n";
    paragraph_open_ = false;
  }

  void CloseTable() {
    if (cell_open_) html_ += "</td>";
    if (row_open_) html_ += "</tr>\r\n";
    if (table_open_) html_ += "</table>\r\n";
    cell_open_ = row_open_ = table_open_ = false;
  }

  // Makes sure text goes into a paragraph or a table cell, as the current
  // paragraph properties say.
  void EnsureBlock() {
    if (state().in_table) {
      if (paragraph_open_) {
        CloseFormat();
        CloseParagraph();
      }
      OpenRow();
      if (!cell_open_) {
        html_ += "<td>";
        cell_open_ = true;
        cell_break_pending_ = false;
        after_space_ = true;
      } else if (cell_break_pending_) {
        CloseFormat();
        html_ += "<br>";
        cell_break_pending_ = false;
        after_space_ = true;
      }
      return;
    }
    if (table_open_) {
      CloseFormat();
      CloseTable();
    }
    if (!paragraph_open_) {
      switch (state().align) {
        case 'c': html_ += "<div style=\"text-align:center\">"; break;
        case 'r': html_ += "<div style=\"text-align:right\">"; break;
        case 'j': html_ += "<div style=\"text-align:justify\">"; break;
        default: html_ += "<div>";
      }
      paragraph_open_ = true;
      after_space_ = true;
    }
  }

  // Called before any visible content: opens the block and the tags it needs.
  bool PrepareText() {
    if (!CheckSize()) return false;
    EnsureBlock();
    const Format f = CurrentFormat();
    if (!format_open_ || !(f == open_)) {
      CloseFormat();
      OpenFormat(f);
    }
    return true;
  }

  bool Visible() {
    const GroupState& s = state();
    return s.dest == Destination::kBody && !s.hidden;
  }

  void WriteTab() {
    text_.Flush();
    html_ += "<span style=\"white-space:pre\">\t</span>";
    after_space_ = true;
  }

  void OnByte(uint8_t byte) override {
    const Destination dest = state().dest;
    if (dest == Destination::kFieldInst) {
      inst_.AddByte(byte, CurrentCodepage());
      return;
    }
    if (dest == Destination::kPicture) {
      AddPictureHex(byte);
      return;
    }
    if (!Visible() || !PrepareText()) return;
    if (byte == '\t') {
      WriteTab();
      return;
    }
    // HTML folds runs of spaces; every space after the first is kept as &nbsp;.
    if (byte == ' ') {
      if (after_space_) {
        text_.Flush();
        html_ += "&nbsp;";
      } else {
        text_.AddByte(byte, CurrentCodepage());
      }
      after_space_ = true;
      return;
    }
    after_space_ = false;
    text_.AddByte(byte, CurrentCodepage());
  }

  void OnCodepoint(char32_t cp) override {
    if (state().dest == Destination::kFieldInst) {
      inst_.AddCodepoint(cp);
      return;
    }
    if (!Visible() || !PrepareText()) return;
    if (cp == U'\t') {
      WriteTab();
      return;
    }
    after_space_ = false;
    text_.AddCodepoint(cp);
  }

  void OnBinary(std::string_view data) override {
    if (state().dest != Destination::kPicture || picture_too_large_) return;
    if (picture_.size() + data.size() > kMaxInlinePictureBytes) {
      picture_too_large_ = true;
      return;
    }
    picture_.append(data);
  }

  void AddPictureHex(uint8_t byte) {
    int v = -1;
    if (byte >= '0' && byte <= '9') v = byte - '0';
    if (byte >= 'a' && byte <= 'f') v = byte - 'a' + 10;
    if (byte >= 'A' && byte <= 'F') v = byte - 'A' + 10;
    if (v < 0 || picture_too_large_) return;
    if (half_byte_ < 0) {
      half_byte_ = v;
      return;
    }
    if (picture_.size() >= kMaxInlinePictureBytes) {
      picture_too_large_ = true;
      return;
    }
    picture_.push_back(static_cast<char>(half_byte_ * 16 + v));
    half_byte_ = -1;
  }

  void EmitPicture() {
    const char* mime = picture_type_ == PictureType::kPng    ? "image/png"
                       : picture_type_ == PictureType::kJpeg ? "image/jpeg"
                                                             : nullptr;
    if (mime != nullptr && !picture_.empty() && !picture_too_large_ && state().dest == Destination::kBody &&
        !state().hidden && PrepareText()) {
      text_.Flush();
      html_ += "<img src=\"data:";
      html_ += mime;
      html_ += ";base64,";
      AppendBase64(html_, picture_);
      html_ += "\"";
      // Goal sizes are in twips (1/1440 inch); CSS pixels are 1/96 inch.
      if (picture_width_ > 0 && picture_height_ > 0) {
        html_ += " width=\"" + std::to_string(picture_width_ / 15) + "\" height=\"" +
                 std::to_string(picture_height_ / 15) + "\"";
      }
      html_ += " alt=\"\">";
      after_space_ = false;
      CheckSize();
    }
    ResetPicture();
  }

  void OnPictureWord(const Token& t) {
    const std::string_view w = t.word;
    if (w == "pngblip") {
      picture_type_ = PictureType::kPng;
    } else if (w == "jpegblip") {
      picture_type_ = PictureType::kJpeg;
    } else if (w == "emfblip" || w == "wmetafile" || w == "macpict" || w == "dibitmap" || w == "wbitmap" ||
               w == "pmmetafile") {
      picture_type_ = PictureType::kOther;
    } else if (w == "picwgoal") {
      picture_width_ = std::clamp(t.param, 0, 1 << 20);
    } else if (w == "pichgoal") {
      picture_height_ = std::clamp(t.param, 0, 1 << 20);
    } else if (w == "picscalex") {
      picture_scale_x_ = std::clamp(t.param, 1, 1000);
    } else if (w == "picscaley") {
      picture_scale_y_ = std::clamp(t.param, 1, 1000);
    }
  }

  void EndParagraph() {
    CloseFormat();
    if (state().in_table) {
      if (cell_open_) cell_break_pending_ = true;
      return;
    }
    if (table_open_) CloseTable();
    if (paragraph_open_) {
      CloseParagraph();
    } else {
      html_ += "<div><br></div>\r\n";  // an empty paragraph is a blank line
    }
  }

  // Opens the table and the row a cell belongs to, when they are not open yet.
  void OpenRow() {
    if (!table_open_) {
      html_ += "<table border=\"1\" cellspacing=\"0\" cellpadding=\"4\" style=\"border-collapse:collapse\">\r\n";
      table_open_ = true;
    }
    if (!row_open_) {
      html_ += "<tr>";
      row_open_ = true;
    }
  }

  void EndCell() {
    CloseFormat();
    CloseParagraph();
    OpenRow();
    if (!cell_open_) html_ += "<td>";
    html_ += "</td>";
    cell_open_ = false;
    cell_break_pending_ = false;
  }

  void EndRow() {
    CloseFormat();
    if (!table_open_) return;
    if (cell_open_) html_ += "</td>";
    if (row_open_) html_ += "</tr>\r\n";
    cell_open_ = row_open_ = false;
  }

  void ResetCharacterFormat(GroupState& s) {
    s.bold = s.italic = s.underline = s.strike = s.hidden = false;
    s.vertical = 0;
    s.font_size = 24;
    s.color = s.highlight = 0;
  }

  void OnControlWord(const Token& t) override {
    GroupState& s = state();
    const std::string_view w = t.word;
    if (s.dest == Destination::kPicture) {
      OnPictureWord(t);
      return;
    }
    if (s.dest == Destination::kFieldInst) return;
    // Toggles: \b and \b1 switch on, \b0 off.
    const bool on = !t.has_param || t.param != 0;
    if (w == "b") {
      s.bold = on;
    } else if (w == "i") {
      s.italic = on;
    } else if (w == "ul" || w == "uld" || w == "uldash" || w == "uldashd" || w == "uldashdd" || w == "uldb" ||
               w == "ulth" || w == "ulw" || w == "ulwave" || w == "ulhwave" || w == "ululdbwave" ||
               w == "ulthd" || w == "ulthdash" || w == "ulldash" || w == "ulthldash") {
      s.underline = on;
    } else if (w == "ulnone") {
      s.underline = false;
    } else if (w == "strike" || w == "striked") {
      s.strike = on;
    } else if (w == "v") {
      s.hidden = on;
    } else if (w == "super") {
      s.vertical = 1;
    } else if (w == "sub") {
      s.vertical = -1;
    } else if (w == "nosupersub") {
      s.vertical = 0;
    } else if (w == "fs") {
      s.font_size = t.has_param ? std::clamp(t.param, 2, 3276) : 24;
    } else if (w == "cf") {
      s.color = t.param;
    } else if (w == "highlight" || w == "cb") {
      s.highlight = t.param;
    } else if (w == "plain") {
      ResetCharacterFormat(s);
    } else if (w == "pard") {
      s.in_table = false;
      s.align = 0;
    } else if (w == "intbl") {
      s.in_table = true;
    } else if (w == "qc" || w == "qr" || w == "qj" || w == "ql") {
      s.align = w[1] == 'l' ? 0 : w[1];
    } else if (w == "par" || w == "page" || w == "sect") {
      if (Visible()) EndParagraph();
    } else if (w == "line") {
      if (Visible() && PrepareText()) {
        text_.Flush();
        html_ += "<br>";
        after_space_ = true;
      }
    } else if (w == "cell" || w == "nestcell") {
      if (s.dest == Destination::kBody) EndCell();
    } else if (w == "row" || w == "nestrow") {
      if (s.dest == Destination::kBody) EndRow();
    } else if (w == "field") {
      s.field = static_cast<int32_t>(fields_.size());
      fields_.emplace_back();
      s.link = -1;
    } else if (w == "fldinst") {
      s.dest = s.field >= 0 ? Destination::kFieldInst : Destination::kSkip;
    } else if (w == "fldrslt") {
      if (s.field >= 0) s.link = s.field;
    } else if (w == "pict") {
      s.dest = Destination::kPicture;
      ResetPicture();
    } else if (char32_t cp = SymbolWordCodepoint(w)) {
      OnCodepoint(cp);
    }
  }

  void ResetPicture() {
    picture_.clear();
    picture_type_ = PictureType::kNone;
    picture_too_large_ = false;
    half_byte_ = -1;
    picture_width_ = picture_height_ = 0;
    picture_scale_x_ = picture_scale_y_ = 100;
  }

  Destination StarredDestination(std::string_view word) override {
    if (word == "fldinst") return state().field >= 0 ? Destination::kFieldInst : Destination::kSkip;
    // The picture Word means readers to show; its \nonshppict twin is skipped.
    if (word == "shppict") return state().dest;
    return Destination::kSkip;
  }

  void OnGroupEnd(const GroupState& closed) override {
    if (closed.dest == Destination::kFieldInst && closed.field >= 0 &&
        closed.field < static_cast<int32_t>(fields_.size())) {
      inst_.Flush();
      Field& field = fields_[closed.field];
      field.instruction += inst_text_;
      inst_text_.clear();
      if (state().dest != Destination::kFieldInst) {
        auto target = HyperlinkTarget(field.instruction);
        if (target && IsSafeHref(*target)) field.href = std::move(*target);
      }
    }
    if (closed.dest == Destination::kPicture && state().dest != Destination::kPicture) {
      if (picture_scale_x_ != 100 || picture_scale_y_ != 100) {
        picture_width_ = picture_width_ * picture_scale_x_ / 100;
        picture_height_ = picture_height_ * picture_scale_y_ / 100;
      }
      EmitPicture();
    }
  }

  std::string html_;
  TextDecoder text_;
  std::string inst_text_;
  TextDecoder inst_;
  std::vector<Field> fields_;
  Format open_;
  bool open_style_ = false;
  bool format_open_ = false;
  bool paragraph_open_ = false;
  bool table_open_ = false;
  bool row_open_ = false;
  bool cell_open_ = false;
  bool cell_break_pending_ = false;
  bool after_space_ = true;
  bool too_large_ = false;
  std::string picture_;
  PictureType picture_type_ = PictureType::kNone;
  bool picture_too_large_ = false;
  int half_byte_ = -1;
  int32_t picture_width_ = 0;
  int32_t picture_height_ = 0;
  int32_t picture_scale_x_ = 100;
  int32_t picture_scale_y_ = 100;
};

// Length of the valid UTF-8 sequence at text[i], or 0 when there is none.
size_t Utf8SequenceLength(std::string_view text, size_t i) {
  const auto c = static_cast<unsigned char>(text[i]);
  if (c < 0x80) return 1;
  size_t len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
  if (len == 0 || text.size() - i < len) return 0;
  return IsValidUtf8(text.substr(i, len)) ? len : 0;
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

Result<std::string> RtfToHtml(std::string_view rtf) {
  if (rtf.size() > limits::kMaxRtfBytes) return MakeError(ErrorCode::kLimitExceeded, 0, "RTF is larger than the limit");
  size_t start = 0;
  while (start < rtf.size() && std::isspace(static_cast<unsigned char>(rtf[start]))) ++start;
  if (rtf.substr(start, 5) != "{\\rtf") return MakeError(ErrorCode::kBadRtf, start, "not RTF: no {\\rtf at the start");
  HtmlRenderer renderer(rtf.substr(start));
  return renderer.Render();
}

std::string PlainTextToHtml(std::string_view text) {
  std::string out(kDocumentStart);
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
    const size_t len = Utf8SequenceLength(text, i);
    if (len == 0) {
      AppendUtf8(out, 0xFFFD);
      ++i;
      continue;
    }
    AppendEscapedHtml(out, text.substr(i, len));
    i += len;
  }
  out += "</pre>\r\n";
  out += kDocumentEnd;
  return out;
}

}  // namespace formats::rtf
