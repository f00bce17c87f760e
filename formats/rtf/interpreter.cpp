#include <algorithm>
#include <cctype>
#include <limits>

#include "formats/common/codepage.h"
#include "formats/common/limits.h"
#include "formats/rtf/rtf_p.h"

namespace formats::rtf {

namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

struct CharsetCodepage {
  int32_t charset;
  uint32_t codepage;
};

// \fcharsetN values and their Windows code pages.
constexpr CharsetCodepage kCharsets[] = {
    {0, 1252},     {2, kSymbolCodepage}, {77, 10000},  {78, 10001},  {79, 10003},
    {80, 10008},   {81, 10002},  {83, 10005},  {84, 10004},  {85, 10006},
    {86, 10081},   {87, 10021},  {88, 10029},  {89, 10007},  {128, 932},
    {129, 949},    {130, 1361},  {134, 936},   {136, 950},   {161, 1253},
    {162, 1254},   {163, 1258},  {177, 1255},  {178, 1256},  {186, 1257},
    {204, 1251},   {222, 874},   {238, 1250},  {254, 437},   {255, 850},
};

struct SymbolWord {
  std::string_view word;
  char32_t cp;
};

constexpr SymbolWord kSymbolWords[] = {
    {"tab", U'\t'},         {"lquote", 0x2018},  {"rquote", 0x2019},  {"ldblquote", 0x201C},
    {"rdblquote", 0x201D},  {"bullet", 0x2022},  {"endash", 0x2013},  {"emdash", 0x2014},
    {"enspace", 0x2002},    {"emspace", 0x2003}, {"qmspace", 0x2005}, {"zwj", 0x200D},
    {"zwnj", 0x200C},       {"zwbo", 0x200B},    {"ltrmark", 0x200E}, {"rtlmark", 0x200F},
};

// Glyphs of symbol fonts (Symbol, Wingdings) that lists use as bullets. Others
// go to the private use area U+F000 + byte, as Word itself maps them.
char32_t SymbolFontCodepoint(uint8_t byte) {
  switch (byte) {
    case 0xB7: return 0x2022;  // Symbol bullet
    case 0xA7: return 0x25AA;  // Wingdings small square
    case 0xA8: return 0x25FB;  // Wingdings square
    case 0xD8: return 0x27A2;  // Wingdings arrowhead
    case 0xFC: return 0x2714;  // Wingdings check mark
    case 0x76: return 0x2756;  // Wingdings diamond
    case 0x6E: return 0x25A0;  // Wingdings black square
    case 0x71: return 0x2751;  // Wingdings shadowed square
    default: break;
  }
  if (byte >= 0x20 && byte < 0x7F) return byte;
  return 0xF000 + byte;
}

// Code pages whose bytes below 0x80 are plain ASCII, so a run of ASCII needs no
// conversion (everything we meet in RTF except EBCDIC and the 7-bit encodings).
bool AsciiCompatible(uint32_t codepage) {
  return codepage != 37 && codepage != 65000 && (codepage < 50220 || codepage > 50229) && codepage != 52936;
}

}  // namespace

Token Tokenizer::Next() {
  Token t;
  const size_t n = input_.size();
  // CR and LF in RTF source carry no meaning outside control words.
  while (pos_ < n && (input_[pos_] == '\r' || input_[pos_] == '\n')) ++pos_;
  t.offset = pos_;
  if (pos_ >= n) return t;
  const char c = input_[pos_];
  if (c == '{' || c == '}') {
    t.type = c == '{' ? TokenType::kGroupStart : TokenType::kGroupEnd;
    ++pos_;
    return t;
  }
  if (c != '\\') {
    size_t end = pos_;
    while (end < n && input_[end] != '\\' && input_[end] != '{' && input_[end] != '}' && input_[end] != '\r' &&
           input_[end] != '\n')
      ++end;
    t.type = TokenType::kText;
    t.word = input_.substr(pos_, end - pos_);
    pos_ = end;
    return t;
  }
  ++pos_;
  if (pos_ >= n) return t;  // a lone backslash at the very end
  const char d = input_[pos_];
  if (!IsAsciiLetter(d)) {
    ++pos_;
    if (d == '\'') {
      if (n - pos_ >= 2 && HexValue(input_[pos_]) >= 0 && HexValue(input_[pos_ + 1]) >= 0) {
        t.type = TokenType::kHexByte;
        t.byte = static_cast<uint8_t>(HexValue(input_[pos_]) * 16 + HexValue(input_[pos_ + 1]));
        pos_ += 2;
        return t;
      }
    }
    t.type = TokenType::kControlSymbol;
    t.symbol = d;
    return t;
  }
  const size_t word_start = pos_;
  while (pos_ < n && IsAsciiLetter(input_[pos_])) ++pos_;
  t.type = TokenType::kControlWord;
  t.word = input_.substr(word_start, pos_ - word_start);
  bool negative = false;
  if (pos_ + 1 < n && input_[pos_] == '-' && IsDigit(input_[pos_ + 1])) {
    negative = true;
    ++pos_;
  }
  if (pos_ < n && IsDigit(input_[pos_])) {
    int64_t value = 0;
    // Any number of digits is consumed; the value saturates.
    while (pos_ < n && IsDigit(input_[pos_])) {
      if (value <= std::numeric_limits<int32_t>::max()) value = value * 10 + (input_[pos_] - '0');
      ++pos_;
    }
    if (negative) value = -value;
    value = std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    t.param = static_cast<int32_t>(value);
    t.has_param = true;
  }
  if (pos_ < n && input_[pos_] == ' ') ++pos_;
  if (t.word == "bin") {
    // The data follows the delimiter; it may hold braces and backslashes. A
    // length beyond the input takes the rest of it.
    const size_t want = t.param > 0 ? static_cast<size_t>(t.param) : 0;
    const size_t take = std::min(want, n - pos_);
    t.type = TokenType::kBinary;
    t.word = input_.substr(pos_, take);
    pos_ += take;
  }
  return t;
}

uint32_t CharsetToCodepage(int32_t charset) {
  for (const auto& entry : kCharsets) {
    if (entry.charset == charset) return entry.codepage;
  }
  return 0;
}

char32_t SymbolWordCodepoint(std::string_view word) {
  for (const auto& entry : kSymbolWords) {
    if (entry.word == word) return entry.cp;
  }
  return 0;
}

char32_t ControlSymbolCodepoint(char symbol) {
  switch (symbol) {
    case '\\': return U'\\';
    case '{': return U'{';
    case '}': return U'}';
    case '~': return 0x00A0;  // non-breaking space
    case '-': return 0x00AD;  // optional hyphen
    case '_': return 0x2011;  // non-breaking hyphen
    default: return 0;
  }
}

void AppendEscapedHtml(std::string& out, std::string_view utf8) {
  for (char c : utf8) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out.push_back(c);
    }
  }
}

void TextDecoder::Write(std::string_view utf8) {
  if (escape_html_) {
    AppendEscapedHtml(*out_, utf8);
  } else {
    out_->append(utf8);
  }
}

void TextDecoder::FlushSurrogate() {
  if (high_surrogate_ == 0) return;
  high_surrogate_ = 0;
  std::string s;
  AppendUtf8(s, 0xFFFD);
  Write(s);
}

void TextDecoder::FlushBytes() {
  if (bytes_.empty()) return;
  if (bytes_codepage_ == kSymbolCodepage) {
    std::string s;
    for (char c : bytes_) AppendUtf8(s, SymbolFontCodepoint(static_cast<uint8_t>(c)));
    Write(s);
  } else if (AsciiCompatible(bytes_codepage_) &&
             std::all_of(bytes_.begin(), bytes_.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    Write(bytes_);
  } else {
    Write(DecodeLenient(bytes_, bytes_codepage_));
  }
  bytes_.clear();
}

void TextDecoder::AddByte(uint8_t byte, uint32_t codepage) {
  FlushSurrogate();
  if (!bytes_.empty() && codepage != bytes_codepage_) FlushBytes();
  bytes_codepage_ = codepage;
  bytes_.push_back(static_cast<char>(byte));
}

void TextDecoder::AddCodepoint(char32_t cp) {
  FlushBytes();
  if (cp >= 0xDC00 && cp <= 0xDFFF && high_surrogate_ != 0) {
    const char32_t joined = 0x10000 + ((high_surrogate_ - 0xD800) << 10) + (cp - 0xDC00);
    high_surrogate_ = 0;
    std::string s;
    AppendUtf8(s, joined);
    Write(s);
    return;
  }
  FlushSurrogate();
  if (cp >= 0xD800 && cp <= 0xDBFF) {
    high_surrogate_ = cp;
    return;
  }
  std::string s;
  AppendUtf8(s, cp);  // a lone low surrogate becomes U+FFFD there
  Write(s);
}

void TextDecoder::Flush() {
  FlushBytes();
  FlushSurrogate();
}

uint32_t Interpreter::CurrentCodepage() const {
  const int32_t font = stack_.back().font >= 0 ? stack_.back().font : default_font_;
  if (auto it = fonts_.find(font); it != fonts_.end()) {
    const uint32_t cp = it->second.cpg != 0 ? it->second.cpg : it->second.charset_codepage;
    if (cp != 0) return cp;
  }
  return ansi_codepage_;
}

const FontInfo* Interpreter::CurrentFont() {
  // Asked for before every piece of text: the last answer is kept (map nodes
  // stay where they are, and fonts are only added).
  const int32_t font = stack_.back().font >= 0 ? stack_.back().font : default_font_;
  if (font != cached_font_ || fonts_.size() != cached_font_count_) {
    auto it = fonts_.find(font);
    cached_font_info_ = it == fonts_.end() ? nullptr : &it->second.info;
    cached_font_ = font;
    cached_font_count_ = fonts_.size();
  }
  return cached_font_info_;
}

void Interpreter::HandleFontTableWord(const Token& token) {
  if (token.word == "f" && token.has_param) {
    // Each font is a map entry: a table that defines thousands is bounded by
    // the input, and a font defined twice keeps its first name.
    defining_font_ = token.param;
    fonts_[defining_font_];
  } else if (defining_font_ >= 0 && (token.word == "froman" || token.word == "fswiss" || token.word == "fmodern")) {
    fonts_[defining_font_].info.generic = token.word == "froman"   ? "serif"
                                          : token.word == "fswiss" ? "sans-serif"
                                                                   : "monospace";
  } else if (defining_font_ >= 0 && token.word == "fcharset" && token.has_param) {
    fonts_[defining_font_].charset_codepage = CharsetToCodepage(token.param);
  } else if (defining_font_ >= 0 && token.word == "cpg" && token.has_param && token.param > 0) {
    // \cpg1200-style values name no byte encoding; the charset then decides.
    const auto cp = static_cast<uint32_t>(token.param);
    if (cp != 1200 && cp != 1201 && CodepageCharsetName(cp) != nullptr) fonts_[defining_font_].cpg = cp;
  }
}

void Interpreter::AddFontNameChar(char ch) {
  if (defining_font_ < 0) return;
  Font& font = fonts_[defining_font_];
  if (ch == ';') {
    font.name_done = true;
    while (!font.info.name.empty() && font.info.name.back() == ' ') font.info.name.pop_back();
    return;
  }
  // Only names that can stand in a CSS string as they are: a name in another
  // script (given as \'hh) is left out and the generic family stands instead.
  const bool usable = std::isalnum(static_cast<unsigned char>(ch)) || ch == ' ' || ch == '-';
  if (font.name_done || font.info.name.size() >= 64 || !usable) return;
  if (ch == ' ' && font.info.name.empty()) return;
  font.info.name.push_back(ch);
}

void Interpreter::HandleControlWord(const Token& token) {
  GroupState& s = state();
  const std::string_view w = token.word;
  if (s.dest == Destination::kSkip) return;
  if (starred_) {
    // {\*\word ...}: a destination that readers who do not know it must skip.
    starred_ = false;
    s.dest = StarredDestination(w);
    return;
  }
  if (s.dest == Destination::kFontTable) {
    HandleFontTableWord(token);
    return;
  }
  if (s.dest == Destination::kColorTable) {
    const auto v = static_cast<uint8_t>(std::clamp(token.param, 0, 255));
    if (w == "red") pending_color_.red = v, pending_color_.set = true;
    if (w == "green") pending_color_.green = v, pending_color_.set = true;
    if (w == "blue") pending_color_.blue = v, pending_color_.set = true;
    return;
  }
  if (w == "u" && token.has_param) {
    int32_t v = token.param;
    if (v < 0) v += 65536;
    OnCodepoint(v < 0 || v > 0x10FFFF ? char32_t{0xFFFD} : static_cast<char32_t>(v));
    skip_ = s.uc;
    return;
  }
  if (w == "uc") {
    s.uc = std::clamp(token.param, 0, 16);
    return;
  }
  if (w == "f" && token.has_param) {
    s.font = token.param;
    return;
  }
  if (w == "plain") s.font = -1;  // back to \deff; readers reset the rest
  if (w == "htmlrtf") {
    s.htmlrtf = !token.has_param || token.param != 0;
    return;
  }
  if (w == "ansicpg" && token.has_param) {
    const auto cp = static_cast<uint32_t>(token.param);
    // Values such as 1200 describe no 8-bit bytes; \'hh is then read as 1252.
    ansi_codepage_ = (token.param > 0 && cp != 1200 && cp != 1201 && CodepageCharsetName(cp) != nullptr) ? cp : 1252;
    return;
  }
  if (w == "mac") {
    ansi_codepage_ = 10000;
    return;
  }
  if (w == "pc") {
    ansi_codepage_ = 437;
    return;
  }
  if (w == "pca") {
    ansi_codepage_ = 850;
    return;
  }
  if (w == "deff" && token.has_param) {
    default_font_ = token.param;
    return;
  }
  if (w == "fonttbl") {
    s.dest = Destination::kFontTable;
    defining_font_ = -1;
    return;
  }
  if (w == "colortbl") {
    s.dest = Destination::kColorTable;
    return;
  }
  // Destinations that never hold document text.
  static constexpr std::string_view kSkipped[] = {
      "stylesheet", "info",      "header",    "headerl",    "headerr",  "headerf", "footer",
      "footerl",    "footerr",   "footerf",   "footnote",   "annotation", "filetbl", "revtbl",
      "listtable",  "listoverridetable", "rsidtbl", "xe", "tc", "txe", "themedata", "colorschememapping",
      "datastore",  "latentstyles", "objdata", "objclass", "pntxta", "pntxtb", "pn", "nonshppict",
      "private",    "fldtype",   "generator", "userprops", "docvar", "bkmkstart", "bkmkend", "template",
      "atnid",      "atnauthor", "atnref",    "atrfstart", "atrfend", "comment", "keywords", "title",
      "subject",    "author",    "operator",  "doccomm",   "mmathPr", "pgdsctbl", "listpicture",
      "fchars",     "lchars",    "protusertbl", "wgrffmtfilter", "defchp", "defpap", "xmlnstbl",
  };
  for (std::string_view skipped : kSkipped) {
    if (w == skipped) {
      s.dest = Destination::kSkip;
      return;
    }
  }
  OnControlWord(token);
}

void Interpreter::Run() {
  Tokenizer tokenizer(rtf_);
  while (!stop_) {
    const Token t = tokenizer.Next();
    switch (t.type) {
      case TokenType::kEnd:
        return;
      case TokenType::kGroupStart:
        skip_ = 0;
        starred_ = false;
        if (overflow_depth_ > 0 || stack_.size() >= static_cast<size_t>(limits::kMaxRtfGroupDepth)) {
          ++overflow_depth_;
        } else {
          stack_.push_back(stack_.back());
        }
        break;
      case TokenType::kGroupEnd: {
        skip_ = 0;
        starred_ = false;
        if (overflow_depth_ > 0) {
          --overflow_depth_;
          break;
        }
        // A "}" that closes the document ends it; anything after is not RTF.
        if (stack_.size() <= 2) {
          if (stack_.size() == 2) {
            const GroupState closed = stack_.back();
            stack_.pop_back();
            OnGroupEnd(closed);
          }
          return;
        }
        const GroupState closed = stack_.back();
        stack_.pop_back();
        if (closed.dest == Destination::kColorTable && state().dest != Destination::kColorTable) {
          pending_color_ = Color{};
        }
        OnGroupEnd(closed);
        break;
      }
      case TokenType::kControlWord:
        if (skip_ > 0) {
          --skip_;
          break;
        }
        HandleControlWord(t);
        break;
      case TokenType::kBinary:
        if (skip_ > 0) {
          --skip_;
          break;
        }
        starred_ = false;
        if (state().dest != Destination::kSkip) OnBinary(t.word);
        break;
      case TokenType::kControlSymbol: {
        if (t.symbol == '*') {
          starred_ = true;
          break;
        }
        if (skip_ > 0) {
          --skip_;
          break;
        }
        const Destination dest = state().dest;
        if (dest == Destination::kSkip || dest == Destination::kFontTable || dest == Destination::kColorTable) break;
        if (t.symbol == '\r' || t.symbol == '\n') {
          // A backslash before a line end is an old spelling of \par.
          Token par = t;
          par.type = TokenType::kControlWord;
          par.word = "par";
          OnControlWord(par);
          break;
        }
        if (char32_t cp = ControlSymbolCodepoint(t.symbol)) OnCodepoint(cp);
        break;
      }
      case TokenType::kHexByte:
        starred_ = false;
        if (skip_ > 0) {
          --skip_;
          break;
        }
        if (state().dest == Destination::kSkip || state().dest == Destination::kFontTable ||
            state().dest == Destination::kColorTable)
          break;
        OnByte(t.byte);
        break;
      case TokenType::kText: {
        starred_ = false;
        const Destination dest = state().dest;
        for (char ch : t.word) {
          if (skip_ > 0) {
            --skip_;
            continue;
          }
          if (dest == Destination::kSkip) continue;
          if (dest == Destination::kFontTable) {
            AddFontNameChar(ch);
            continue;
          }
          if (dest == Destination::kColorTable) {
            if (ch == ';') {
              colors_.push_back(pending_color_);
              pending_color_ = Color{};
            }
            continue;
          }
          const auto byte = static_cast<uint8_t>(ch);
          // Control characters other than TAB are not text.
          if (byte < 0x20 && byte != '\t') continue;
          OnByte(byte);
          if (stop_) return;
        }
        break;
      }
    }
  }
}

}  // namespace formats::rtf
