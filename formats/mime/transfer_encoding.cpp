#include "formats/mime/transfer_encoding.h"

#include <algorithm>

namespace formats::mime {

const char* TransferEncodingName(TransferEncoding encoding) {
  switch (encoding) {
    case TransferEncoding::kQuotedPrintable:
      return "quoted-printable";
    case TransferEncoding::kBase64:
      return "base64";
    case TransferEncoding::kAuto:
    case TransferEncoding::k7bit:
      break;
  }
  return "7bit";
}

BodyScan ScanBody(std::string_view body) {
  BodyScan scan;
  scan.size = body.size();
  size_t line = 0;
  for (size_t i = 0; i < body.size(); ++i) {
    const auto c = static_cast<unsigned char>(body[i]);
    if (c == '\r') {
      if (i + 1 < body.size() && body[i + 1] == '\n') {
        scan.longest_line = std::max(scan.longest_line, line);
        line = 0;
        ++i;
        continue;
      }
      ++scan.bare_cr;
    } else if (c == '\n') {
      ++scan.bare_lf;
    } else if (c >= 0x80) {
      ++scan.eight_bit;
    } else if (c == 0) {
      ++scan.nuls;
    } else if ((c < 0x20 && c != '\t') || c == 0x7F) {
      ++scan.controls;
    }
    ++line;
  }
  scan.longest_line = std::max(scan.longest_line, line);
  return scan;
}

TransferEncoding ChooseTransferEncoding(const BodyScan& scan, bool is_text) {
  if (!is_text) return TransferEncoding::kBase64;
  const size_t escaped = scan.eight_bit + scan.nuls + scan.bare_cr + scan.bare_lf + scan.controls;
  if (escaped == 0 && scan.longest_line <= 78) return TransferEncoding::k7bit;
  // Each escaped byte costs three characters in quoted-printable and 4/3 in base64.
  if (escaped * 5 > scan.size) return TransferEncoding::kBase64;
  return TransferEncoding::kQuotedPrintable;
}

std::string EncodeQuotedPrintable(std::string_view body) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(body.size() + body.size() / 8 + 8);
  size_t line = 0;  // characters on the current output line
  auto put = [&](std::string_view piece) {
    // Soft break so that the line including its trailing '=' stays within 76.
    if (line + piece.size() > 75) {
      out += "=\r\n";
      line = 0;
    }
    out += piece;
    line += piece.size();
  };
  for (size_t i = 0; i < body.size(); ++i) {
    const auto c = static_cast<unsigned char>(body[i]);
    if (c == '\r' && i + 1 < body.size() && body[i + 1] == '\n') {
      out += "\r\n";
      line = 0;
      ++i;
      continue;
    }
    const bool at_line_end = i + 1 == body.size() ||
                             (body[i + 1] == '\r' && i + 2 < body.size() && body[i + 2] == '\n');
    const bool literal = (c >= 33 && c <= 126 && c != '=') ||
                         ((c == ' ' || c == '\t') && !at_line_end);
    if (literal) {
      const char ch = static_cast<char>(c);
      put(std::string_view(&ch, 1));
    } else {
      const char esc[3] = {'=', kHex[c >> 4], kHex[c & 15]};
      put(std::string_view(esc, 3));
    }
  }
  return out;
}

std::string NormalizeLineEnds(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace formats::mime
