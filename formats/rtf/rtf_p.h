// Internals shared by the RTF readers: the tokenizer, text decoding across code
// pages, and an interpreter that keeps the group state every reader needs (fonts
// and their code pages, \ucN skipping, destinations) and hands text and control
// words to a subclass.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/common/result.h"

namespace formats::rtf {

// The CRC of compressed RTF: reflected CRC-32 (0xEDB88320), initial value 0, no
// final inversion.
uint32_t CompressedRtfCrc(Bytes data);

enum class TokenType {
  kGroupStart,     // {
  kGroupEnd,       // }
  kControlWord,    // \word or \wordN; word holds the letters
  kControlSymbol,  // \ and one non-letter (symbol); \' with bad hex digits too
  kHexByte,        // \'hh; byte holds the value
  kText,           // a run of plain text (no \ { } CR LF); word holds it
  kBinary,         // \binN and its data; word holds the data (clamped to the input)
  kEnd,
};

struct Token {
  TokenType type = TokenType::kEnd;
  std::string_view word;
  int32_t param = 0;
  bool has_param = false;
  char symbol = 0;
  uint8_t byte = 0;
  size_t offset = 0;  // where the token starts in the input
};

// Splits RTF into tokens. Never fails: malformed escapes become control symbols
// the readers ignore. Numeric parameters are clamped to the int32 range.
class Tokenizer {
 public:
  explicit Tokenizer(std::string_view input) : input_(input) {}
  Token Next();

 private:
  std::string_view input_;
  size_t pos_ = 0;
};

// Windows code page of an \fcharsetN value; 0 for "the document default" and
// for values we do not know.
uint32_t CharsetToCodepage(int32_t charset);

// The character a control word stands for (\emdash, \lquote, \tab, ...), or 0.
char32_t SymbolWordCodepoint(std::string_view word);

// The character a control symbol stands for (\~, \-, \_, \{, \}, \\), or 0.
char32_t ControlSymbolCodepoint(char symbol);

// Pseudo code page for symbol fonts (\fcharset2): bytes are glyph numbers.
inline constexpr uint32_t kSymbolCodepage = 42;

// Turns the text of an RTF run into UTF-8. Bytes are collected while they share
// a code page and decoded together, so double-byte characters split over two
// \'hh escapes come out whole; UTF-16 surrogate pairs from two \uN are joined.
class TextDecoder {
 public:
  // escape_html: write & < > " as character references.
  TextDecoder(std::string* out, bool escape_html) : out_(out), escape_html_(escape_html) {}

  void AddByte(uint8_t byte, uint32_t codepage);
  void AddCodepoint(char32_t cp);
  // Writes everything collected so far.
  void Flush();

 private:
  void FlushBytes();
  void FlushSurrogate();
  void Write(std::string_view utf8);

  std::string* out_;
  bool escape_html_;
  std::string bytes_;
  uint32_t bytes_codepage_ = 0;
  char32_t high_surrogate_ = 0;
};

// Appends text with & < > " replaced by character references.
void AppendEscapedHtml(std::string& out, std::string_view utf8);

// The frame of every HTML document the renderers write.
inline constexpr std::string_view kHtmlDocumentStart =
    "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<meta charset=\"utf-8\">\r\n</head>\r\n<body>\r\n";
inline constexpr std::string_view kHtmlDocumentEnd = "</body>\r\n</html>\r\n";

// Whether a reader may follow the link from a mail body (no script or data: URLs).
bool IsSafeHref(std::string_view href);

// Target of a HYPERLINK field instruction (HYPERLINK "url" [\l "anchor"] ...),
// with the anchor after '#'; nullopt for other fields.
std::optional<std::string> HyperlinkTarget(std::string_view instruction);

enum class Destination : uint8_t {
  kBody,       // document text
  kSkip,       // ignored, with everything nested in it
  kFontTable,  // \fonttbl
  kColorTable, // \colortbl
  kHtmlTag,    // {\*\htmltag}: original HTML markup
  kFieldInst,  // {\*\fldinst}: field instruction text
  kPicture,    // \pict: picture data
};

// Everything that a group saves on "{" and restores on "}".
struct GroupState {
  Destination dest = Destination::kBody;
  int32_t font = -1;  // -1: \deff applies
  int32_t uc = 1;     // characters to skip after \uN
  bool htmlrtf = false;
  bool list_text = false;  // in {\pntext} or {\listtext}: the numbering a renderer draws itself
  // Character formatting.
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strike = false;
  bool hidden = false;
  int8_t vertical = 0;  // 1 superscript, -1 subscript
  int32_t font_size = 24;  // half-points
  int32_t color = 0;       // index into the colour table, 0 = automatic
  int32_t highlight = 0;
  int32_t field = -1;   // field this group belongs to
  int32_t link = -1;    // field whose result this text is
  // Paragraph formatting (reset by \pard; Word keeps it in groups too).
  bool in_table = false;
  char align = 0;  // 'c', 'r', 'j' or 0
  int32_t left_indent = 0;   // \li, twips
  int32_t right_indent = 0;  // \ri
  int32_t first_indent = 0;  // \fi, relative to left_indent
  int32_t list_level = 0;    // \ilvl, 0..8
};

// What the font table says of one font.
struct FontInfo {
  std::string name;  // ASCII letters, digits, inner blanks and - only; may be empty
  const char* generic = nullptr;  // "serif", "sans-serif", "monospace" or null
};

struct Color {
  uint8_t red = 0, green = 0, blue = 0;
  bool set = false;  // false: "automatic" (an entry without colour words)
};

// Walks the tokens of one document, keeps the state above and calls the hooks
// for what a reader turns into output. Bounded: group nesting beyond
// limits::kMaxRtfGroupDepth is read flat, and each token is looked at once.
class Interpreter {
 public:
  virtual ~Interpreter() = default;

 protected:
  explicit Interpreter(std::string_view rtf) : rtf_(rtf) {}

  // Reads the whole document. A hook may stop it by setting stop_.
  void Run();

  // A byte of text (plain or \'hh) outside skipped destinations.
  virtual void OnByte(uint8_t byte) = 0;
  // A character given as Unicode (\uN, \emdash, \{, ...).
  virtual void OnCodepoint(char32_t cp) = 0;
  // A control word the interpreter does not handle itself. \par etc. land here.
  virtual void OnControlWord(const Token& token) = 0;
  // The group whose state was `closed` has ended; state() is its parent's again.
  virtual void OnGroupEnd(const GroupState& closed) { (void)closed; }
  // Data of \binN in a destination that is not skipped.
  virtual void OnBinary(std::string_view data) { (void)data; }
  // The destination a {\*\word ...} group becomes; skipped unless a reader knows it.
  virtual Destination StarredDestination(std::string_view word) {
    (void)word;
    return Destination::kSkip;
  }

  GroupState& state() { return stack_.back(); }
  // Code page of the current font, else of the document.
  uint32_t CurrentCodepage() const;
  uint32_t ansi_codepage() const { return ansi_codepage_; }
  // The font in force (the group's, else \deff); null when the table lacks it.
  const FontInfo* CurrentFont();
  const std::vector<Color>& colors() const { return colors_; }
  size_t depth() const { return stack_.size(); }

  bool stop_ = false;

 private:
  void HandleControlWord(const Token& token);
  void HandleFontTableWord(const Token& token);
  void AddFontNameChar(char ch);

  struct Font {
    uint32_t charset_codepage = 0;
    uint32_t cpg = 0;  // \cpgN overrides the charset
    FontInfo info;
    bool name_done = false;  // the ';' that ends the name was seen
  };

  std::string_view rtf_;
  std::vector<GroupState> stack_{GroupState{}};
  int overflow_depth_ = 0;   // groups opened beyond the depth limit
  int32_t skip_ = 0;         // fallback characters still to skip after \uN
  bool starred_ = false;     // \* seen, the next control word names a destination
  uint32_t ansi_codepage_ = 1252;
  int32_t default_font_ = -1;
  int32_t defining_font_ = -1;
  std::map<int32_t, Font> fonts_;
  int32_t cached_font_ = -2;
  size_t cached_font_count_ = 0;
  const FontInfo* cached_font_info_ = nullptr;
  std::vector<Color> colors_;
  Color pending_color_;
};

}  // namespace formats::rtf
