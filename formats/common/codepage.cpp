#include "formats/common/codepage.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>

#include "formats/common/ascii.h"
#include "formats/common/codepage_p.h"

namespace formats {

namespace {

struct CodepageName {
  uint32_t codepage;
  const char* iconv_name;
};

// Windows code pages that mail uses, with the name glibc's iconv knows them by.
constexpr CodepageName kCodepages[] = {
    {37, "IBM037"},          {437, "CP437"},          {850, "CP850"},
    {852, "CP852"},          {866, "CP866"},          {874, "CP874"},
    {932, "CP932"},          {936, "CP936"},          {949, "CP949"},
    {950, "BIG5-HKSCS"},     {1200, "UTF-16LE"},      {1201, "UTF-16BE"},
    {1250, "WINDOWS-1250"},  {1251, "WINDOWS-1251"},  {1252, "WINDOWS-1252"},
    {1253, "WINDOWS-1253"},  {1254, "WINDOWS-1254"},  {1255, "WINDOWS-1255"},
    {1256, "WINDOWS-1256"},  {1257, "WINDOWS-1257"},  {1258, "WINDOWS-1258"},
    {10000, "MACINTOSH"},    {20127, "US-ASCII"},     {20866, "KOI8-R"},
    {20932, "EUC-JP"},       {21866, "KOI8-U"},       {28591, "ISO-8859-1"},
    {28592, "ISO-8859-2"},   {28593, "ISO-8859-3"},   {28594, "ISO-8859-4"},
    {28595, "ISO-8859-5"},   {28596, "ISO-8859-6"},   {28597, "ISO-8859-7"},
    {28598, "ISO-8859-8"},   {28599, "ISO-8859-9"},   {28603, "ISO-8859-13"},
    {28605, "ISO-8859-15"},  {38598, "ISO-8859-8"},   {50220, "ISO-2022-JP"},
    {50221, "ISO-2022-JP"},  {50222, "ISO-2022-JP"},  {50225, "ISO-2022-KR"},
    {51932, "EUC-JP"},       {51936, "GBK"},          {51949, "EUC-KR"},
    {52936, "HZ-GB-2312"},   {54936, "GB18030"},      {65000, "UTF-7"},
    {65001, "UTF-8"},
};

struct CharsetAlias {
  const char* label;
  uint32_t codepage;
};

// MIME and HTML labels, lower case.
constexpr CharsetAlias kAliases[] = {
    {"utf-8", 65001},        {"utf8", 65001},          {"us-ascii", 20127},
    {"ascii", 20127},        {"iso-8859-1", 28591},    {"latin1", 28591},
    {"iso-8859-2", 28592},   {"iso-8859-3", 28593},    {"iso-8859-4", 28594},
    {"iso-8859-5", 28595},   {"iso-8859-6", 28596},    {"iso-8859-7", 28597},
    {"iso-8859-8", 28598},   {"iso-8859-8-i", 38598},  {"iso-8859-9", 28599},
    {"iso-8859-13", 28603},  {"iso-8859-15", 28605},   {"windows-1250", 1250},
    {"windows-1251", 1251},  {"windows-1252", 1252},   {"windows-1253", 1253},
    {"windows-1254", 1254},  {"windows-1255", 1255},   {"windows-1256", 1256},
    {"windows-1257", 1257},  {"windows-1258", 1258},   {"cp1252", 1252},
    {"shift_jis", 932},      {"shift-jis", 932},       {"sjis", 932},
    {"x-sjis", 932},         {"windows-31j", 932},     {"cp932", 932},
    {"euc-jp", 51932},       {"iso-2022-jp", 50220},   {"gb2312", 936},
    {"gbk", 936},            {"gb18030", 54936},       {"big5", 950},
    {"euc-kr", 51949},       {"ks_c_5601-1987", 949},  {"iso-2022-kr", 50225},
    {"koi8-r", 20866},       {"koi8-u", 21866},        {"utf-16", 1200},
    {"utf-16le", 1200},      {"utf-16be", 1201},       {"utf-7", 65000},
    {"windows-874", 874},    {"tis-620", 874},         {"macintosh", 10000},
    {"hz-gb-2312", 52936},   {"ibm437", 437},          {"cp866", 866},
};

struct LcidCodepage {
  uint16_t primary_language;
  uint32_t codepage;
};

// Primary language id (low 10 bits of the LCID) to its ANSI code page.
constexpr LcidCodepage kLanguages[] = {
    {0x01, 1256}, {0x02, 1251}, {0x03, 1252}, {0x04, 936},  {0x05, 1250}, {0x06, 1252},
    {0x07, 1252}, {0x08, 1253}, {0x09, 1252}, {0x0A, 1252}, {0x0B, 1252}, {0x0C, 1252},
    {0x0D, 1255}, {0x0E, 1250}, {0x0F, 1252}, {0x10, 1252}, {0x11, 932},  {0x12, 949},
    {0x13, 1252}, {0x14, 1252}, {0x15, 1250}, {0x16, 1252}, {0x18, 1250}, {0x19, 1251},
    {0x1A, 1250}, {0x1B, 1250}, {0x1C, 1250}, {0x1D, 1252}, {0x1E, 874},  {0x1F, 1254},
    {0x20, 1256}, {0x21, 1252}, {0x22, 1251}, {0x23, 1251}, {0x24, 1250}, {0x25, 1257},
    {0x26, 1257}, {0x27, 1257}, {0x29, 1256}, {0x2A, 1258}, {0x2D, 1252}, {0x2F, 1251},
    {0x36, 1252}, {0x38, 1252}, {0x3E, 1252}, {0x3F, 1251}, {0x41, 1252}, {0x43, 1254},
    {0x44, 1251}, {0x56, 1252},
};

struct LcidTag {
  uint16_t language_id;
  const char* tag;
};

// Language id (the low 16 bits of an LCID) to its tag, by [MS-LCID] 2.2, sorted
// by id. 0x040A is Spanish with the traditional sort, "es-ES_tradnl" there: the
// suffix names the sort and is no part of a language tag.
constexpr LcidTag kLanguageTags[] = {
    {0x0401, "ar-SA"},      {0x0402, "bg-BG"},      {0x0403, "ca-ES"},      {0x0404, "zh-TW"},
    {0x0405, "cs-CZ"},      {0x0406, "da-DK"},      {0x0407, "de-DE"},      {0x0408, "el-GR"},
    {0x0409, "en-US"},      {0x040A, "es-ES"},      {0x040B, "fi-FI"},      {0x040C, "fr-FR"},
    {0x040D, "he-IL"},      {0x040E, "hu-HU"},      {0x040F, "is-IS"},      {0x0410, "it-IT"},
    {0x0411, "ja-JP"},      {0x0412, "ko-KR"},      {0x0413, "nl-NL"},      {0x0414, "nb-NO"},
    {0x0415, "pl-PL"},      {0x0416, "pt-BR"},      {0x0418, "ro-RO"},      {0x0419, "ru-RU"},
    {0x041A, "hr-HR"},      {0x041B, "sk-SK"},      {0x041C, "sq-AL"},      {0x041D, "sv-SE"},
    {0x041E, "th-TH"},      {0x041F, "tr-TR"},      {0x0420, "ur-PK"},      {0x0421, "id-ID"},
    {0x0422, "uk-UA"},      {0x0423, "be-BY"},      {0x0424, "sl-SI"},      {0x0425, "et-EE"},
    {0x0426, "lv-LV"},      {0x0427, "lt-LT"},      {0x0429, "fa-IR"},      {0x042A, "vi-VN"},
    {0x042B, "hy-AM"},      {0x042C, "az-Latn-AZ"}, {0x042D, "eu-ES"},      {0x042F, "mk-MK"},
    {0x0436, "af-ZA"},      {0x0437, "ka-GE"},      {0x0438, "fo-FO"},      {0x0439, "hi-IN"},
    {0x043A, "mt-MT"},      {0x043E, "ms-MY"},      {0x043F, "kk-KZ"},      {0x0441, "sw-KE"},
    {0x0443, "uz-Latn-UZ"}, {0x0445, "bn-IN"},      {0x0446, "pa-IN"},      {0x0447, "gu-IN"},
    {0x0449, "ta-IN"},      {0x044A, "te-IN"},      {0x044B, "kn-IN"},      {0x044C, "ml-IN"},
    {0x044E, "mr-IN"},      {0x0452, "cy-GB"},      {0x0456, "gl-ES"},      {0x0801, "ar-IQ"},
    {0x0804, "zh-CN"},      {0x0807, "de-CH"},      {0x0809, "en-GB"},      {0x080A, "es-MX"},
    {0x080C, "fr-BE"},      {0x0810, "it-CH"},      {0x0813, "nl-BE"},      {0x0814, "nn-NO"},
    {0x0816, "pt-PT"},      {0x081A, "sr-Latn-CS"}, {0x081D, "sv-FI"},      {0x0C01, "ar-EG"},
    {0x0C04, "zh-HK"},      {0x0C07, "de-AT"},      {0x0C09, "en-AU"},      {0x0C0A, "es-ES"},
    {0x0C0C, "fr-CA"},      {0x0C1A, "sr-Cyrl-CS"}, {0x1004, "zh-SG"},      {0x1007, "de-LU"},
    {0x1009, "en-CA"},      {0x100C, "fr-CH"},      {0x1404, "zh-MO"},      {0x1409, "en-NZ"},
    {0x1809, "en-IE"},      {0x1C09, "en-ZA"},      {0x241A, "sr-Latn-RS"}, {0x281A, "sr-Cyrl-RS"},
    {0x2C0A, "es-AR"},      {0x4009, "en-IN"},      {0x4809, "en-SG"},
};

}  // namespace

std::string Utf16LeToUtf8(Bytes bytes) {
  std::string out;
  out.reserve(bytes.size());
  const size_t units = bytes.size() / 2;
  for (size_t i = 0; i < units; ++i) {
    char32_t u = LoadU16Le(bytes.data() + 2 * i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
      const char32_t low = LoadU16Le(bytes.data() + 2 * (i + 1));
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    AppendUtf8(out, u);  // lone surrogates become U+FFFD there
  }
  return out;
}

const char* CodepageCharsetName(uint32_t codepage) {
  for (const auto& entry : kCodepages) {
    if (entry.codepage == codepage) return entry.iconv_name;
  }
  return nullptr;
}

std::optional<uint32_t> CodepageFromCharsetName(std::string_view label) {
  while (!label.empty() && std::isspace(static_cast<unsigned char>(label.front()))) label.remove_prefix(1);
  while (!label.empty() && std::isspace(static_cast<unsigned char>(label.back()))) label.remove_suffix(1);
  for (const auto& alias : kAliases) {
    if (EqualsIgnoreCase(label, alias.label)) return alias.codepage;
  }
  return std::nullopt;
}

uint32_t LcidToAnsiCodepage(uint32_t lcid) {
  const uint32_t primary = lcid & 0x3FF;
  // Chinese: Traditional (Taiwan, Hong Kong, Macao) uses Big5, Simplified GBK.
  if (primary == 0x04) {
    const uint32_t sub = (lcid & 0xFFFF);
    if (sub == 0x0404 || sub == 0x0C04 || sub == 0x1404 || sub == 0x7C04) return 950;
    return 936;
  }
  for (const auto& entry : kLanguages) {
    if (entry.primary_language == primary) return entry.codepage;
  }
  return 0;
}

const char* LcidToLanguageTag(uint32_t lcid) {
  // Bits 16-19 are the sort id; anything above is reserved, and no locale.
  if (lcid > 0xFFFFF) return nullptr;
  const auto id = static_cast<uint16_t>(lcid & 0xFFFF);
  const auto* end = std::end(kLanguageTags);
  const auto* it = std::lower_bound(std::begin(kLanguageTags), end, id,
                                    [](const LcidTag& entry, uint16_t key) { return entry.language_id < key; });
  return it != end && it->language_id == id ? it->tag : nullptr;
}

std::optional<std::string> CodepageToUtf8(std::string_view bytes, uint32_t codepage) {
  if (codepage == 65001) {
    if (!IsValidUtf8(bytes)) return std::nullopt;
    return std::string(bytes);
  }
  if (CodepageCharsetName(codepage) == nullptr) return std::nullopt;
  return SystemDecode(bytes, codepage, /*strict=*/true);
}

std::string DecodeLenient(std::string_view bytes, uint32_t codepage) {
  if (auto strict = CodepageToUtf8(bytes, codepage)) return *std::move(strict);
  // 8-bit strings written by a program that ignored the code page are often UTF-8.
  if (IsValidUtf8(bytes)) return std::string(bytes);
  if (CodepageCharsetName(codepage) == nullptr || codepage == 65001) codepage = 1252;
  if (auto lenient = SystemDecode(bytes, codepage, /*strict=*/false)) return *std::move(lenient);
  std::string out;
  for (char c : bytes) AppendUtf8(out, static_cast<unsigned char>(c) < 0x80 ? static_cast<unsigned char>(c) : 0xFFFD);
  return out;
}

}  // namespace formats
