// Rendering ordinary RTF as HTML.
//
// RtfToHtml is a single pass: text is written as it comes, character formatting
// opens tags lazily before the next text that needs them, and paragraphs, list
// items, table cells and rows close what is open. What is kept besides the
// output is the group stack, the open lists (at most nine levels) and the
// picture being read.
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

// Twips (1/20 pt) as CSS points, clamped to a page's width.
std::string Points(int32_t twips) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%.2f", std::clamp(twips, -31680, 31680) / 20.0);
  std::string out = buf;
  while (out.back() == '0') out.pop_back();
  if (out.back() == '.') out.pop_back();
  out += "pt";
  return out;
}

// What a list marker ({\listtext}, {\pntext}) says of its list: "1." and "b)"
// number it (value 2 for "b"), anything else is a bullet.
struct ListMarker {
  bool numbered = false;
  char type = '1';  // '1', 'a' or 'A'
  uint32_t value = 1;
};

ListMarker ClassifyMarker(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.' ||
                           text.back() == ')')) {
    text.remove_suffix(1);
  }
  if (!text.empty() && text.front() == '(') text.remove_prefix(1);
  ListMarker m;
  if (text.empty()) return m;
  if (std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }) && text.size() <= 6) {
    m.numbered = true;
    m.value = static_cast<uint32_t>(std::stoul(std::string(text)));
  } else if (text.size() == 1 && std::isalpha(static_cast<unsigned char>(text[0]))) {
    m.numbered = true;
    m.type = std::islower(static_cast<unsigned char>(text[0])) ? 'a' : 'A';
    m.value = static_cast<uint32_t>(AsciiLower(text[0]) - 'a' + 1);
  }
  return m;
}

// A picture's format as its control word names it.
struct PictureFormat {
  std::string_view word, media_type, extension;
};
constexpr PictureFormat kPictureFormats[] = {
    {"pngblip", "image/png", "png"},           {"jpegblip", "image/jpeg", "jpg"},
    {"emfblip", "image/emf", "emf"},           {"wmetafile", "image/wmf", "wmf"},
    {"dibitmap", "application/octet-stream", "dib"}, {"wbitmap", "application/octet-stream", "bmp"},
    {"macpict", "image/x-pict", "pct"},        {"pmmetafile", "application/octet-stream", "met"},
};

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
  // The font by what it says, so that two table entries alike write one span.
  std::string_view font_name;
  const char* font_generic = nullptr;
  bool operator==(const Format&) const = default;
};

struct Field {
  std::string instruction;
  std::optional<std::string> href;  // set once the instruction is complete
};

class HtmlRenderer : public Interpreter {
 public:
  HtmlRenderer(std::string_view rtf, const RtfRenderOptions& options)
      : Interpreter(rtf), options_(options), text_(&html_, true), inst_(&inst_text_, false), marker_(&marker_text_, false) {}

  Result<RenderedRtf> Render() {
    html_ = kHtmlDocumentStart;
    Run();
    if (too_large_) return MakeError(ErrorCode::kLimitExceeded, 0, "HTML rendered from RTF is larger than the limit");
    CloseFormat();
    CloseParagraph();
    CloseLists();
    CloseTable();
    html_ += kHtmlDocumentEnd;
    return RenderedRtf{std::move(html_), std::move(pictures_)};
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
    if (const FontInfo* font = CurrentFont()) {
      f.font_name = font->name;
      f.font_generic = font->generic;
    }
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
    if (!f.font_name.empty() || f.font_generic != nullptr) {
      style += "font-family:";
      if (!f.font_name.empty()) {
        style += '\'';
        style += f.font_name;
        style += f.font_generic != nullptr ? "'," : "'";
      }
      if (f.font_generic != nullptr) style += f.font_generic;
      style += ";";
    }
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
    // A list item stays open for the lists nested in it.
    if (!item_paragraph_) html_ += "</div>\r\n";
    paragraph_open_ = item_paragraph_ = false;
  }

  void CloseList() {
    html_ += lists_.back().item_open ? "</li>\r\n" : "";
    html_ += lists_.back().numbered ? "</ol>\r\n" : "</ul>\r\n";
    lists_.pop_back();
  }

  void CloseLists() {
    while (!lists_.empty()) CloseList();
  }

  // Opens the <li> of a paragraph that carried a marker, in a list of its kind
  // at its level, opening and closing lists as the levels change.
  void OpenListItem() {
    const ListMarker marker = ClassifyMarker(marker_text_);
    const size_t level = static_cast<size_t>(std::clamp(state().list_level, 0, 8));
    while (lists_.size() > level + 1) CloseList();
    if (lists_.size() == level + 1 && lists_.back().numbered != marker.numbered) CloseList();
    while (lists_.size() < level + 1) {
      if (!lists_.empty() && !lists_.back().item_open) {
        html_ += "<li style=\"list-style-type:none\">";
        lists_.back().item_open = true;
      }
      if (marker.numbered) {
        html_ += marker.type == '1' ? "<ol>" : std::string("<ol type=\"") + marker.type + "\">";
      } else {
        html_ += "<ul>";
      }
      lists_.push_back({marker.numbered, false});
    }
    if (lists_.back().item_open) html_ += "</li>\r\n";
    html_ += marker.numbered ? "<li value=\"" + std::to_string(marker.value) + "\"" : std::string("<li");
    html_ += ParagraphStyle(false) + ">";
    lists_.back().item_open = true;
    item_paragraph_ = true;
  }

  // The style attribute of a paragraph: its alignment and, outside lists, indents.
  std::string ParagraphStyle(bool indents) {
    const GroupState& s = state();
    std::string style;
    switch (s.align) {
      case 'c': style += "text-align:center;"; break;
      case 'r': style += "text-align:right;"; break;
      case 'j': style += "text-align:justify;"; break;
      default: break;
    }
    if (indents && s.left_indent > 0) style += "margin-left:" + Points(s.left_indent) + ";";
    if (indents && s.right_indent > 0) style += "margin-right:" + Points(s.right_indent) + ";";
    if (indents && s.first_indent != 0 && s.left_indent + s.first_indent >= 0) {
      style += "text-indent:" + Points(s.first_indent) + ";";
    }
    return style.empty() ? "" : " style=\"" + style + "\"";
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
      if (!lists_.empty()) CloseLists();
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
      // A table cell holds no list: its marker stays as text.
      if (has_marker_) {
        marker_.Flush();
        AppendEscapedHtml(html_, marker_text_);
        html_ += ' ';
        ClearMarker();
      }
      return;
    }
    if (table_open_) {
      CloseFormat();
      CloseTable();
    }
    if (!paragraph_open_) {
      if (has_marker_) {
        marker_.Flush();
        OpenListItem();
        ClearMarker();
      } else {
        CloseLists();
        html_ += "<div" + ParagraphStyle(true) + ">";
      }
      paragraph_open_ = true;
      after_space_ = true;
    }
  }

  void ClearMarker() {
    marker_text_.clear();
    has_marker_ = false;
  }

  // Text of {\listtext} or {\pntext}: the marker of the paragraph's list item.
  bool InMarker() {
    if (!state().list_text || state().dest != Destination::kBody) return false;
    has_marker_ = true;
    return true;
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
    if (InMarker()) {
      marker_.AddByte(byte, CurrentCodepage());
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
    if (InMarker()) {
      marker_.AddCodepoint(cp);
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

  // Picture data in total is bounded by the input: each byte costs at least
  // one byte of RTF. The check keeps that true whatever the tokenizer does.
  bool RoomForPicture(size_t more) {
    if (picture_bytes_ + picture_.size() + more > limits::kMaxRtfBytes) picture_too_large_ = true;
    return !picture_too_large_;
  }

  void OnBinary(std::string_view data) override {
    if (state().dest != Destination::kPicture || !RoomForPicture(data.size())) return;
    picture_.append(data);
  }

  void AddPictureHex(uint8_t byte) {
    int v = -1;
    if (byte >= '0' && byte <= '9') v = byte - '0';
    if (byte >= 'a' && byte <= 'f') v = byte - 'a' + 10;
    if (byte >= 'A' && byte <= 'F') v = byte - 'A' + 10;
    if (v < 0) return;
    if (half_byte_ < 0) {
      half_byte_ = v;
      return;
    }
    if (RoomForPicture(1)) picture_.push_back(static_cast<char>(half_byte_ * 16 + v));
    half_byte_ = -1;
  }

  // A picture whose group `closed` ended: PNG and JPEG are shown where they
  // stand, other formats go along as parts, so no picture is lost. Pictures in
  // hidden text or in a list marker (picture bullets) are not content.
  void EmitPicture(const GroupState& closed) {
    if (picture_.empty() || picture_too_large_ || closed.hidden || closed.list_text ||
        state().dest != Destination::kBody) {
      ResetPicture();
      return;
    }
    const PictureFormat format =
        picture_format_ != nullptr ? *picture_format_ : PictureFormat{"", "application/octet-stream", "bin"};
    const std::string n = std::to_string(pictures_.size() + 1);
    RtfPicture picture{std::string(format.media_type), "picture" + n + "." + std::string(format.extension),
                       "image" + n + "." + options_.cid_suffix, std::move(picture_), false};
    const bool shown_format = format.word == "pngblip" || format.word == "jpegblip";
    if (shown_format && PrepareText()) {
      text_.Flush();
      html_ += "<img src=\"cid:" + picture.content_id + "\"";
      // Goal sizes are in twips (1/1440 inch); CSS pixels are 1/96 inch.
      if (picture_width_ > 0 && picture_height_ > 0) {
        html_ += " width=\"" + std::to_string(picture_width_ / 15) + "\" height=\"" +
                 std::to_string(picture_height_ / 15) + "\"";
      }
      html_ += " alt=\"\">";
      after_space_ = false;
      picture.shown = true;
    }
    picture_bytes_ += picture.data.size();
    pictures_.push_back(std::move(picture));
    ResetPicture();
  }

  void OnPictureWord(const Token& t) {
    const std::string_view w = t.word;
    for (const PictureFormat& format : kPictureFormats) {
      if (w == format.word) picture_format_ = &format;
    }
    if (w == "picwgoal") {
      picture_width_ = std::clamp(t.param, 0, 1 << 20);
    } else if (w == "pichgoal") {
      picture_height_ = std::clamp(t.param, 0, 1 << 20);
    } else if (w == "picscalex") {
      picture_scale_x_ = std::clamp(t.param, 1, 1000);
    } else if (w == "picscaley") {
      picture_scale_y_ = std::clamp(t.param, 1, 1000);
    }
  }

  // An attachment placeholder: what the caller gave for it, if anything.
  void EmitPlaceholder() {
    const size_t index = placeholder_count_++;
    if (index >= options_.placeholders.size() || options_.placeholders[index].empty() || !Visible() ||
        !PrepareText()) {
      return;
    }
    text_.Flush();
    html_ += options_.placeholders[index];
    after_space_ = false;
  }

  void EndParagraph() {
    CloseFormat();
    if (state().in_table) {
      if (cell_open_) cell_break_pending_ = true;
      return;
    }
    if (table_open_) CloseTable();
    if (!paragraph_open_ && has_marker_ && PrepareText()) CloseFormat();  // an empty list item
    if (paragraph_open_) {
      CloseParagraph();
    } else {
      CloseLists();
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
      s.left_indent = s.right_indent = s.first_indent = s.list_level = 0;
    } else if (w == "li" || w == "lin") {
      s.left_indent = std::clamp(t.param, -31680, 31680);
    } else if (w == "ri" || w == "rin") {
      s.right_indent = std::clamp(t.param, -31680, 31680);
    } else if (w == "fi") {
      s.first_indent = std::clamp(t.param, -31680, 31680);
    } else if (w == "ilvl") {
      s.list_level = std::clamp(t.param, 0, 8);
    } else if (w == "pntext" || w == "listtext") {
      s.list_text = true;  // the marker; the list draws its own
    } else if (w == "objattph") {
      EmitPlaceholder();
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
    picture_format_ = nullptr;
    picture_too_large_ = false;
    half_byte_ = -1;
    picture_width_ = picture_height_ = 0;
    picture_scale_x_ = picture_scale_y_ = 100;
  }

  Destination StarredDestination(std::string_view word) override {
    if (word == "fldinst") return state().field >= 0 ? Destination::kFieldInst : Destination::kSkip;
    // The picture Word means readers to show; its \nonshppict twin is skipped.
    if (word == "shppict") return state().dest;
    if (word == "objattph") EmitPlaceholder();
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
      EmitPicture(closed);
    }
  }

  const RtfRenderOptions& options_;
  std::string html_;
  TextDecoder text_;
  std::string inst_text_;
  TextDecoder inst_;
  std::string marker_text_;
  TextDecoder marker_;
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
  const PictureFormat* picture_format_ = nullptr;
  bool picture_too_large_ = false;
  size_t picture_bytes_ = 0;  // data of the pictures kept so far
  std::vector<RtfPicture> pictures_;
  size_t placeholder_count_ = 0;
  bool has_marker_ = false;
  bool item_paragraph_ = false;  // the open paragraph is a list item's
  struct OpenList {
    bool numbered = false;
    bool item_open = false;
  };
  std::vector<OpenList> lists_;
  int half_byte_ = -1;
  int32_t picture_width_ = 0;
  int32_t picture_height_ = 0;
  int32_t picture_scale_x_ = 100;
  int32_t picture_scale_y_ = 100;
};

}  // namespace

Result<RenderedRtf> RtfToHtml(std::string_view rtf, const RtfRenderOptions& options) {
  if (rtf.size() > limits::kMaxRtfBytes) return MakeError(ErrorCode::kLimitExceeded, 0, "RTF is larger than the limit");
  size_t start = 0;
  while (start < rtf.size() && std::isspace(static_cast<unsigned char>(rtf[start]))) ++start;
  if (rtf.substr(start, 5) != "{\\rtf") return MakeError(ErrorCode::kBadRtf, start, "not RTF: no {\\rtf at the start");
  HtmlRenderer renderer(rtf.substr(start), options);
  return renderer.Render();
}

}  // namespace formats::rtf
