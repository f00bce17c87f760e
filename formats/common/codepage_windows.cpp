// Code pages through Windows' own tables (MultiByteToWideChar).
//
// Japanese mail comes in three forms: Shift_JIS (932), EUC-JP (51932, 20932) and
// ISO-2022-JP (50220-50222). Wine knows only the first, and Windows' own decoders
// for the other two give Microsoft's characters for six JIS X 0208 cells. Their
// JIS X 0208 characters map arithmetically onto Shift_JIS, so both are decoded here
// through 932, with the standard characters for those six cells and without
// Microsoft's additions to the JIS X 0208 rows: the same text as the C library's
// decoders give, on Wine and on Windows alike.
#include <windows.h>

#include <climits>

#include "formats/common/codepage.h"
#include "formats/common/codepage_p.h"

namespace formats {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Code pages whose decoder rejects MB_ERR_INVALID_CHARS (they cannot report
// invalid input at all).
bool TakesNoFlags(uint32_t codepage) {
  return codepage == 42 || (codepage >= 50220 && codepage <= 50229) || (codepage >= 57002 && codepage <= 57011) ||
         codepage == 65000;
}

// One MultiByteToWideChar call, appended to out. False when the bytes are
// invalid (strict) or the system does not know the code page.
bool AppendWide(std::u16string& out, std::string_view bytes, uint32_t codepage, bool strict) {
  if (bytes.empty()) return true;
  if (bytes.size() > INT_MAX / 2) return false;
  const DWORD flags = strict && !TakesNoFlags(codepage) ? MB_ERR_INVALID_CHARS : 0;
  const int size = static_cast<int>(bytes.size());
  const int n = MultiByteToWideChar(codepage, flags, bytes.data(), size, nullptr, 0);
  if (n <= 0) return false;
  const size_t at = out.size();
  out.resize(at + static_cast<size_t>(n));
  return MultiByteToWideChar(codepage, flags, bytes.data(), size, reinterpret_cast<wchar_t*>(out.data() + at), n) == n;
}

// Windows' tables give a byte that the code page leaves undefined the C1 control
// of the same number (0x81 in 1252 reads as U+0081); the C library rejects it.
// In these code pages a C1 control can come from nothing else.
bool UndefinedReadsAsC1(uint32_t codepage) {
  return codepage == 874 || codepage == 932 || codepage == 936 || codepage == 949 || codepage == 950 ||
         (codepage >= 1250 && codepage <= 1258);
}

bool IsC1(char16_t c) { return c >= 0x80 && c <= 0x9F; }

std::string ToUtf8(const std::u16string& wide) {
  return Utf16LeToUtf8(Bytes(reinterpret_cast<const uint8_t*>(wide.data()), wide.size() * 2));
}

// A JIS X 0208 character (row and cell bytes 0x21-0x7E) through Shift_JIS;
// false for cells JIS X 0208 leaves empty, Microsoft's rows included.
bool AppendJisX0208(std::u16string& out, uint8_t j1, uint8_t j2) {
  if (j1 < 0x21 || j1 > 0x74 || j2 < 0x21 || j2 > 0x7E) return false;
  if (j1 >= 0x29 && j1 <= 0x2F) return false;  // rows 9-15: NEC's signs in 932 (row 13)
  const char sjis[2] = {static_cast<char>(((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0)),
                        static_cast<char>(j2 + ((j1 & 1) ? (j2 >= 0x60 ? 0x20 : 0x1F) : 0x7E))};
  const size_t at = out.size();
  if (!AppendWide(out, std::string_view(sjis, 2), 932, /*strict=*/true) || out.size() != at + 1) return false;
  switch (out[at]) {
    case 0xFF5E: out[at] = 0x301C; break;  // WAVE DASH
    case 0x2225: out[at] = 0x2016; break;  // DOUBLE VERTICAL LINE
    case 0xFF0D: out[at] = 0x2212; break;  // MINUS SIGN
    case 0xFFE0: out[at] = 0x00A2; break;  // CENT SIGN
    case 0xFFE1: out[at] = 0x00A3; break;  // POUND SIGN
    case 0xFFE2: out[at] = 0x00AC; break;  // NOT SIGN
    default: break;
  }
  return true;
}

// EUC-JP and ISO-2022-JP, decoded as the C library's decoders do. strict: false on
// the first invalid sequence; otherwise an invalid byte becomes U+FFFD and
// decoding goes on after it (ISO-2022-JP back in ASCII).
bool DecodeJapanese(std::u16string& out, std::string_view text, bool iso2022, bool strict) {
  enum class Set { kAscii, kRoman, kJisX0208 } set = Set::kAscii;
  const auto* b = reinterpret_cast<const uint8_t*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const uint8_t c = b[i];
    size_t used = 0;  // 0: invalid at i
    if (iso2022) {
      if (c == 0x1B && n - i >= 3 && (b[i + 1] == '(' || b[i + 1] == '$')) {
        const uint8_t f = b[i + 2];
        if (b[i + 1] == '(' && (f == 'B' || f == 'J')) {
          set = f == 'B' ? Set::kAscii : Set::kRoman;
          i += 3;
          continue;
        }
        if (b[i + 1] == '$' && (f == '@' || f == 'B')) {
          set = Set::kJisX0208;
          i += 3;
          continue;
        }
      }
      if (c < 0x80 && (set != Set::kJisX0208 || c < 0x21)) {
        // Another escape is taken as text, as the C library takes it.
        out.push_back(set == Set::kRoman && c == 0x5C ? 0x00A5 : set == Set::kRoman && c == 0x7E ? 0x203E : c);
        used = 1;
      } else if (set == Set::kJisX0208 && c < 0x7F && n - i >= 2 && AppendJisX0208(out, c, b[i + 1])) {
        used = 2;
      }
    } else if (c < 0x80 || (c >= 0x80 && c <= 0x8D) || (c >= 0x90 && c <= 0x9F)) {
      out.push_back(c);  // ASCII and the C1 controls
      used = 1;
    } else if (c == 0x8E) {
      if (n - i >= 2 && b[i + 1] >= 0xA1 && b[i + 1] <= 0xDF) {
        out.push_back(static_cast<char16_t>(0xFF61 + (b[i + 1] - 0xA1)));  // half-width katakana
        used = 2;
      }
    } else if (c == 0x8F) {
      // JIS X 0212: no Windows table holds it. One replacement for the whole
      // character, so its two bytes are not read as a JIS X 0208 one.
      if (!strict && n - i >= 3 && b[i + 1] >= 0xA1 && b[i + 2] >= 0xA1) {
        out.push_back(kReplacement);
        used = 3;
      }
    } else if (c >= 0xA1 && c <= 0xFE && n - i >= 2 && b[i + 1] >= 0xA1 && b[i + 1] <= 0xFE) {
      if (AppendJisX0208(out, c & 0x7F, b[i + 1] & 0x7F)) used = 2;
    }
    if (used == 0) {
      if (strict) return false;
      out.push_back(kReplacement);
      used = 1;
      set = Set::kAscii;
    }
    i += used;
  }
  return true;
}

// UTF-16 in either byte order; strict: false on an odd length or an unpaired
// surrogate, which otherwise become U+FFFD (a last odd byte is dropped).
std::optional<std::string> DecodeUtf16(std::string_view text, bool big_endian, bool strict) {
  std::string little(text.substr(0, text.size() & ~size_t{1}));
  if (big_endian) {
    for (size_t i = 0; i + 1 < little.size(); i += 2) std::swap(little[i], little[i + 1]);
  }
  if (strict) {
    if (text.size() % 2 != 0) return std::nullopt;
    const auto* b = reinterpret_cast<const uint8_t*>(little.data());
    for (size_t i = 0; i < little.size(); i += 2) {
      const unsigned u = b[i] | (b[i + 1] << 8);
      if (u >= 0xDC00 && u <= 0xDFFF) return std::nullopt;
      if (u >= 0xD800 && u <= 0xDBFF) {
        if (i + 3 >= little.size()) return std::nullopt;
        const unsigned low = b[i + 2] | (b[i + 3] << 8);
        if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
        i += 2;
      }
    }
  }
  return Utf16LeToUtf8(Bytes(reinterpret_cast<const uint8_t*>(little.data()), little.size()));
}

// Lenient decoding: in a double-byte code page, a byte that does not start a
// valid character becomes U+FFFD and decoding goes on at the next byte, as with
// the C library. Single-byte tables give every byte a character.
std::optional<std::string> DecodeReplacing(std::string_view text, uint32_t codepage) {
  if (!IsValidCodePage(codepage)) return std::nullopt;
  CPINFO info{};
  const bool double_byte = GetCPInfo(codepage, &info) && info.MaxCharSize == 2;
  if (!double_byte) {
    std::u16string wide;
    if (!AppendWide(wide, text, codepage, /*strict=*/false)) return std::nullopt;
    if (UndefinedReadsAsC1(codepage)) {
      for (char16_t& c : wide) {
        if (IsC1(c)) c = kReplacement;
      }
    }
    return ToUtf8(wide);
  }
  std::u16string wide;
  size_t i = 0;
  while (i < text.size()) {
    // One character at a time: a lead byte and its trail byte, or one byte.
    size_t len = IsDBCSLeadByteEx(codepage, static_cast<BYTE>(text[i])) ? 2 : 1;
    if (i + len <= text.size() && AppendWide(wide, text.substr(i, len), codepage, /*strict=*/true)) {
      if (UndefinedReadsAsC1(codepage) && IsC1(wide.back())) wide.back() = kReplacement;
      i += len;
    } else {
      wide.push_back(kReplacement);
      ++i;
    }
  }
  return ToUtf8(wide);
}

}  // namespace

std::optional<std::string> SystemDecode(std::string_view bytes, uint32_t codepage, bool strict) {
  switch (codepage) {
    case 1200:
    case 1201:
      return DecodeUtf16(bytes, codepage == 1201, strict);
    case 20932:
    case 51932:
    case 50220:
    case 50221:
    case 50222: {
      std::u16string wide;
      if (!DecodeJapanese(wide, bytes, codepage >= 50220 && codepage <= 50222, strict)) return std::nullopt;
      return ToUtf8(wide);
    }
    case 20127: {
      // US-ASCII: Windows' table takes the top bit off a byte above 0x7F (0xE9
      // would read as 'i'), which loses text that is in fact 8-bit.
      std::string out;
      for (char c : bytes) {
        if (static_cast<unsigned char>(c) < 0x80) {
          out.push_back(c);
        } else if (strict) {
          return std::nullopt;
        } else {
          AppendUtf8(out, kReplacement);
        }
      }
      return out;
    }
    case 38598:  // Hebrew in logical order: the same characters as visual
      codepage = 28598;
      break;
    case 51936:  // EUC-CN, EUC-KR: subsets of the Windows code pages (Wine has only those)
      codepage = 936;
      break;
    case 51949:
      codepage = 949;
      break;
    default:
      break;
  }
  if (CodepageCharsetName(codepage) == nullptr) return std::nullopt;
  if (!strict) return DecodeReplacing(bytes, codepage);
  std::u16string wide;
  if (!AppendWide(wide, bytes, codepage, /*strict=*/true)) return std::nullopt;
  if (UndefinedReadsAsC1(codepage)) {
    for (char16_t c : wide) {
      if (IsC1(c)) return std::nullopt;
    }
  }
  return ToUtf8(wide);
}

}  // namespace formats
