// RTF message bodies: the compressed form stored in PidTagRtfCompressed, the HTML
// or plain text that Outlook encapsulates in RTF, and a rendering of ordinary RTF
// as HTML.
//
// Every function here is a pure function of its input: no globals, no files, so
// each can be driven directly by a fuzzer. Input is untrusted throughout; work
// and output are bounded by formats::limits (kMaxRtfBytes, kMaxRtfGroupDepth,
// kMaxRtfHtmlBytes).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/common/result.h"

namespace formats::rtf {

// Decompresses a PidTagRtfCompressed value: the compressed form ("LZFu") and the
// stored form ("MELA"). Returns the RTF bytes (8-bit, code pages as the RTF says).
// Errors:
//   kTruncated      header shorter than 16 bytes, data shorter than the header
//                   says, or the compressed data ends before its end marker
//   kBadSignature   neither "LZFu" nor "MELA"
//   kBadCrc         the CRC of the compressed data does not match the header
//   kLimitExceeded  the header's raw size is above limits::kMaxRtfBytes
//   kBadRtf         the raw size is more than the compressed data could produce,
//                   or the compressed size field is impossible
// Output never exceeds the raw size the header gives.
Result<std::string> Decompress(Bytes compressed);

enum class Encapsulation {
  kNone,  // ordinary RTF
  kHtml,  // \fromhtml1: the original HTML can be recovered by ExtractHtml
  kText,  // \fromtext: the original plain text can be recovered by ExtractText
};

// Looks for \fromhtml1 or \fromtext in the document header: among the first 10
// group starts and control words, before any text. Anything that does not start
// with "{\rtf" is kNone.
Encapsulation DetectEncapsulation(std::string_view rtf);

// Recovers the HTML encapsulated in \fromhtml1 RTF as UTF-8: the markup held in
// {\*\htmltag} groups and the text between them, without the \htmlrtf ... \htmlrtf0
// spans, {\*\mhtmltag} groups and the list numbering text of {\pntext} and
// {\listtext} (the bullet an RTF renderer draws; the HTML's <li> draws its own). Line breaks in the HTML come back as CR LF. Any
// <meta charset> in the HTML is left as the original wrote it (it no longer
// describes the bytes; the caller rewrites or drops it).
// Errors: kUnsupported when the RTF does not encapsulate HTML; kLimitExceeded
// when the input is above limits::kMaxRtfBytes.
Result<std::string> ExtractHtml(std::string_view rtf);

// Recovers the plain text encapsulated in \fromtext RTF as UTF-8 (CR LF line
// breaks). Errors as ExtractHtml, kUnsupported when the RTF is not \fromtext.
Result<std::string> ExtractText(std::string_view rtf);

// A picture of the RTF (\pict) that goes beside the HTML as a part of its own.
struct RtfPicture {
  std::string media_type;  // image/png, image/jpeg, image/emf, image/wmf, image/bmp, ...
  std::string name;        // picture<n>.<extension>
  std::string content_id;  // without angle brackets
  std::string data;
  bool shown = false;  // the HTML shows it (<img src="cid:...">); otherwise attach it
};

struct RtfRenderOptions {
  // The right-hand side of the Content-IDs given to pictures ("image<n>.<suffix>").
  std::string cid_suffix = "rtf.invalid";
  // What stands at the n-th attachment placeholder (\objattph), as HTML; an
  // empty entry, or none, writes nothing there.
  std::vector<std::string> placeholders;
};

struct RenderedRtf {
  std::string html;
  std::vector<RtfPicture> pictures;
};

// Renders any RTF as a complete small HTML document in UTF-8 (with
// <meta charset="utf-8">): paragraphs with their alignment and indents, line
// breaks, fonts, bold, italic, underline, strike, super/subscript, font size,
// text and highlight colour, HYPERLINK fields as links, tables as <table>,
// bulleted and numbered paragraphs as <ul>/<ol> lists (the marker text the RTF
// carries is left to the list), attachment placeholders as the options say, and
// pictures as parts: PNG and JPEG shown where they stand by Content-ID, other
// formats only listed. Picture data in total never exceeds the input's size.
// Errors: kBadRtf when the input does not start with "{\rtf"; kLimitExceeded when
// the input is above limits::kMaxRtfBytes or the HTML would exceed
// limits::kMaxRtfHtmlBytes.
Result<RenderedRtf> RtfToHtml(std::string_view rtf, const RtfRenderOptions& options = {});

// Renders plain text (UTF-8) as a mail client shows it: a complete small HTML
// document whose body is one <pre> block with white-space: pre-wrap, so line
// breaks and runs of spaces stay even where styles are stripped, while long lines
// still wrap where they are honoured. Text is HTML-escaped; http(s)://, mailto:
// and www. addresses become links. Invalid UTF-8 is passed through as U+FFFD.
std::string PlainTextToHtml(std::string_view text_utf8);

}  // namespace formats::rtf
