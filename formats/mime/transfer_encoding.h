// Choosing and applying a Content-Transfer-Encoding for bodies held in memory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace formats::mime {

enum class TransferEncoding {
  kAuto,             // chosen by the writer from a scan of the body
  k7bit,             // the bytes already are short CR LF lines of ASCII
  kQuotedPrintable,  // mostly ASCII text
  kBase64,           // binary, or text with many 8-bit bytes
};

const char* TransferEncodingName(TransferEncoding encoding);

// What a body's bytes hold, from one pass over them.
struct BodyScan {
  size_t size = 0;
  size_t eight_bit = 0;  // bytes >= 0x80
  size_t nuls = 0;
  size_t bare_cr = 0;    // CR not followed by LF
  size_t bare_lf = 0;    // LF not preceded by CR
  size_t controls = 0;   // other C0 controls than TAB, CR, LF, and DEL
  size_t longest_line = 0;  // in bytes, without the line end
};

BodyScan ScanBody(std::string_view body);

// 7bit when the bytes are ASCII text in CR LF lines no longer than 78 characters;
// for text, quoted-printable unless more than a fifth of the bytes would need
// escaping (base64 is then shorter); base64 for everything that is not text.
TransferEncoding ChooseTransferEncoding(const BodyScan& scan, bool is_text);

// Quoted-printable (RFC 2045 6.7). CR LF pairs stay hard line breaks; every other CR
// or LF is escaped, so the decoded bytes equal the input exactly. Lines are at most
// 76 characters; an escape is never split; white space before a line end is escaped.
// Adds no line end of its own: the encoded text ends where the body ends.
std::string EncodeQuotedPrintable(std::string_view body);

// Normalises any mix of CR, LF and CR LF to CR LF.
std::string NormalizeLineEnds(std::string_view text);

}  // namespace formats::mime
