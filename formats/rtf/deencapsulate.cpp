// Recovering the HTML or plain text that Outlook encapsulates in RTF
// ([MS-OXRTFEX]): the markup of the HTML is kept in {\*\htmltag} groups, its
// text between them, and RTF written only for RTF readers sits between \htmlrtf
// and \htmlrtf0.
#include "formats/common/limits.h"
#include "formats/rtf/rtf.h"
#include "formats/rtf/rtf_p.h"

namespace formats::rtf {

namespace {

// Only the first few tokens of the header may announce encapsulation; counting
// group starts and control words, \fromhtml1 or \fromtext must come within ten.
constexpr int kHeaderTokens = 10;

class Deencapsulator : public Interpreter {
 public:
  Deencapsulator(std::string_view rtf, bool html) : Interpreter(rtf), html_(html), decoder_(&out_, false) {}

  std::string Extract() {
    Run();
    decoder_.Flush();
    return std::move(out_);
  }

 private:
  // Text is copied from the body (outside \htmlrtf spans and list numbering
  // text) and from htmltag groups.
  bool Copying() {
    const GroupState& s = state();
    if (s.dest == Destination::kHtmlTag) return true;
    return s.dest == Destination::kBody && !s.htmlrtf && !s.list_text;
  }

  void OnByte(uint8_t byte) override {
    if (!Copying()) return;
    // Inside htmltag groups bytes are in the document code page, elsewhere in
    // the current font's.
    decoder_.AddByte(byte, state().dest == Destination::kHtmlTag ? ansi_codepage() : CurrentCodepage());
  }

  void OnCodepoint(char32_t cp) override {
    if (Copying()) decoder_.AddCodepoint(cp);
  }

  void OnControlWord(const Token& token) override {
    // Pictures and objects are RTF's own rendering; their hex data is not text.
    if (token.word == "pict" || token.word == "object") {
      state().dest = Destination::kSkip;
      return;
    }
    // The bullet or number of a list item, for RTF readers that do not number
    // lists themselves: the HTML has its own <li>, and only the htmltag groups
    // such a group may hold are HTML.
    if (token.word == "pntext" || token.word == "listtext") {
      state().list_text = true;
      return;
    }
    if (!Copying()) return;
    if (token.word == "par" || token.word == "line") {
      decoder_.AddCodepoint(U'\r');
      decoder_.AddCodepoint(U'\n');
    } else if (char32_t cp = SymbolWordCodepoint(token.word)) {
      decoder_.AddCodepoint(cp);
    }
  }

  Destination StarredDestination(std::string_view word) override {
    // An htmltag group inside an \htmlrtf span is RTF-only content like the rest
    // of the span. \mhtmltag holds a rewritten copy of the neighbouring htmltag
    // and is skipped with every other starred destination.
    if (html_ && word == "htmltag" && !state().htmlrtf) return Destination::kHtmlTag;
    // Field instructions are starred too; only their results are text.
    return Destination::kSkip;
  }

  bool html_;
  std::string out_;
  TextDecoder decoder_;
};

Result<std::string> Extract(std::string_view rtf, Encapsulation want) {
  if (rtf.size() > limits::kMaxRtfBytes)
    return MakeError(ErrorCode::kLimitExceeded, 0, "RTF is larger than the limit");
  if (DetectEncapsulation(rtf) != want)
    return MakeError(ErrorCode::kUnsupported, 0,
                     want == Encapsulation::kHtml ? "RTF does not encapsulate HTML" : "RTF does not encapsulate text");
  Deencapsulator reader(rtf, want == Encapsulation::kHtml);
  return reader.Extract();
}

}  // namespace

Encapsulation DetectEncapsulation(std::string_view rtf) {
  Tokenizer tokenizer(rtf);
  Token t = tokenizer.Next();
  if (t.type != TokenType::kGroupStart) return Encapsulation::kNone;
  t = tokenizer.Next();
  if (t.type != TokenType::kControlWord || t.word != "rtf") return Encapsulation::kNone;
  for (int seen = 2; seen < kHeaderTokens; ++seen) {
    t = tokenizer.Next();
    if (t.type == TokenType::kControlWord) {
      if (t.word == "fromhtml" && t.has_param && t.param == 1) return Encapsulation::kHtml;
      if (t.word == "fromtext") return Encapsulation::kText;
      continue;
    }
    if (t.type == TokenType::kGroupStart) continue;
    // \* before a destination is part of the header's structure, not text.
    if (t.type == TokenType::kControlSymbol && t.symbol == '*') continue;
    return Encapsulation::kNone;
  }
  return Encapsulation::kNone;
}

Result<std::string> ExtractHtml(std::string_view rtf) { return Extract(rtf, Encapsulation::kHtml); }

Result<std::string> ExtractText(std::string_view rtf) { return Extract(rtf, Encapsulation::kText); }

}  // namespace formats::rtf
